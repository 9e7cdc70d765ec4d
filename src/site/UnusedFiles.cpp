#include "site/UnusedFiles.h"

#include "base/Findings.h"
#include "base/RunContext.h"
#include "platform/ShownText.h"
#include "site/FileNode.h"

namespace ts {

bool ReportIfUnused(CFileNode& node) {
    if (node.m_bMarked || node.m_bExcluded || node.m_nType == FT_DIRECTORY) return false;
    node.Ctx().statusReport << ShownName(node.m_strPath) << "\n";
    if (CFindings* findings = node.Ctx().findings) {
        Finding f;
        f.kind = FindingKind::UnusedFile;
        f.file = node.m_strPath;
        f.message = "not used in the site hierarchy";
        findings->Add(std::move(f));
    }
    return true;
}

}  // namespace ts
