#include "site/DirXpNode.h"

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "html/HtmlNode.h"

namespace ts {

CDirXpNode::CDirXpNode(CRunContext* ctx, const std::string& path, CDirNode* parent)
    : CDirNode(ctx, path, parent) {}

CDirXpNode::CDirXpNode(CFileNode&& base) : CDirNode(std::move(base)) {}

CDirXpNode::~CDirXpNode() {
    CloseLog();
}

// Web files become HTML nodes, directories run directories, everything else plain nodes. The
// entry is examined once; the other kinds take over what the first node found.
std::unique_ptr<CFileNode> CDirXpNode::CreateChild(const std::string& path) {
    std::unique_ptr<CFileNode> probe;
    // Only a name with a Web extension can give an HTML node; others need no HTML probe.
    if (IsWebExtension(ExtensionOf(BaseName(path)))) {
        auto html = std::make_unique<CHtmlNode>(m_pCtx, path, this);
        int type = html->m_nType;
        if (type == FT_HTML || (type <= FT_PNG && type >= FT_JPEG)) return html;
        probe = std::move(html);
    } else {
        probe = std::make_unique<CFileNode>(m_pCtx, path, this);
    }
    if (probe->m_nType == FT_DIRECTORY) return std::make_unique<CDirXpNode>(std::move(*probe));
    if (probe->IsHtmlNode()) return std::make_unique<CFileNode>(std::move(*probe));
    return probe;
}

void CDirXpNode::OpenLog() {
    if (!m_bHasLog) {
        m_strLogPath = JoinPath(m_strPath, std::string(kRenameLogName));
        m_bHasLog = true;
        m_nLogBytes = 0;
    }
    if (!m_pLog) {
        m_pLog = m_pCtx->fs.OpenWrite(m_strLogPath);
        if (!m_pLog) m_pCtx->ui.MessageBox(FormatMessage(IDS_LOG_CREATE_FAILED, m_strPath));
    }
}

void CDirXpNode::WriteLog(const std::string& strLine) {
    if (!m_bHasLog || !m_pLog) return;
    CReportStream& aux = m_pCtx->auxStream;
    aux.Attach(m_pLog.get());
    aux << strLine;
    aux.EndLine();
    aux.Detach();
    if (aux.Failed()) {
        m_pCtx->ErrorLine(JoinPath(m_strPath, std::string(kRenameLogName)),
                          LoadString(IDS_WRITE_FAILED));
        return;
    }
    m_nLogBytes += strLine.size() + 2;
}

void CDirXpNode::CloseLog() {
    if (!m_bHasLog) return;
    if (m_pLog) {
        long long length = m_pLog->Length();
        bool closed = m_pLog->Close();
        m_pLog.reset();
        // The directory may have been renamed since the log was opened: its log is inside it.
        std::string path = JoinPath(m_strPath, std::string(kRenameLogName));
        if (!closed) m_pCtx->ErrorLine(path, LoadString(IDS_WRITE_FAILED));
        if (length == 0) m_pCtx->fs.Remove(path);
    }
    m_bHasLog = false;
}

void CDirXpNode::CloseAllLogs() {
    CTreeIterator it(this);
    while (CFileNode* node = it.Next())
        node->CloseLog();
}

}  // namespace ts
