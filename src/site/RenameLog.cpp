#include "site/RenameLog.h"

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "site/DirNode.h"
#include "site/TreeWriter.h"

namespace ts {

void CRenameLog::Open(CTreeWriter& writer) {
    m_pWriter = &writer;
}

void CRenameLog::Write(const std::string& strLine) {
    if (!m_pWriter || m_bFailed) return;
    CRunContext& ctx = m_pWriter->Ctx();
    if (!m_pFile) {
        m_pFile = m_pWriter->AppendOwnFile(m_dir, kRenameLogName);
        m_bFailed = !m_pFile;
        if (m_bFailed) {
            ctx.ui.MessageBox(FormatMessage(IDS_LOG_CREATE_FAILED, ShownName(m_dir.m_strPath)));
            return;
        }
    }
    CReportStream& aux = ctx.auxStream;
    aux.Attach(m_pFile.get());
    aux << strLine;
    aux.EndLine();
    aux.Detach();
    if (aux.Failed())
        ctx.ErrorLine(JoinPath(m_dir.m_strPath, std::string(kRenameLogName)),
                      LoadString(IDS_WRITE_FAILED));
}

void CRenameLog::Close() {
    if (m_pFile) {
        bool closed = m_pFile->Close();
        m_pFile.reset();
        // The directory may have been renamed since the log was opened: its log is inside it.
        if (!closed)
            m_pWriter->Ctx().ErrorLine(JoinPath(m_dir.m_strPath, std::string(kRenameLogName)),
                                       LoadString(IDS_WRITE_FAILED));
    }
    m_pWriter = nullptr;
}

}  // namespace ts
