#include "site/UnusedFiles.h"

#include "base/RunContext.h"
#include "site/FileNode.h"

namespace ts {

bool ReportIfUnused(CFileNode& node) {
    if (node.m_bMarked || node.m_nType == FT_DIRECTORY) return false;
    node.Ctx().statusReport << node.m_strPath << "\n";
    return true;
}

}  // namespace ts
