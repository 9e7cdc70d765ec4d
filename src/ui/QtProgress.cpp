#include "ui/QtProgress.h"

#include "platform/StopSignals.h"
#include "ui/ProgDlg.h"

namespace ts {

CQtProgress::CQtProgress() = default;
CQtProgress::~CQtProgress() = default;

void CQtProgress::Begin(const std::string& caption, int range) {
    if (!m_pDlg) m_pDlg = std::make_unique<CProgDlg>();
    CProgDlg::Pause();
    m_pDlg->Reset(0, range, 0, 1);
    m_pDlg->ShowWithCaption(QString::fromStdString(caption));
}

bool CQtProgress::SetDirectory(const std::string& path) {
    const bool cancel = m_pDlg && m_pDlg->SetDirectory(QString::fromStdString(path)) != 0;
    return cancel || StopSignalled();
}

void CQtProgress::SetFile(const std::string& path) {
    if (m_pDlg) m_pDlg->SetFile(QString::fromStdString(path));
}

void CQtProgress::End() {
    if (!m_pDlg) return;
    CProgDlg::Pause();
    m_pDlg->hide();
}

}  // namespace ts
