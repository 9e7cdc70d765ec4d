#include "ui/QtRunUi.h"

#include "base/EditorOptions.h"
#include "platform/FileSystem.h"
#include "ui/AppMessageBox.h"
#include "ui/EditorDlg.h"
#include "ui/MainFrame.h"
#include "ui/ProgDlg.h"

namespace ts {

CQtRunUi::CQtRunUi() : m_pFs(&RealFileSystem()) {}
CQtRunUi::~CQtRunUi() = default;

QWidget* CQtRunUi::Owner() const {
    if (m_pProg && m_pProg->isVisible()) return m_pProg.get();
    if (m_pFrame && m_pFrame->isVisible()) return m_pFrame;
    return nullptr;
}

MessageBoxAnswer CQtRunUi::MessageBox(const std::string& text, int style) {
    return static_cast<MessageBoxAnswer>(
        AppMessageBox(Owner(), QString::fromStdString(text), style));
}

void CQtRunUi::Begin(const std::string& caption, int range) {
    if (!m_pProg) m_pProg = std::make_unique<CProgDlg>();
    CProgDlg::Pause();
    m_pProg->Reset(0, range, 0, 1);
    m_pProg->ShowWithCaption(QString::fromStdString(caption));
}

bool CQtRunUi::SetDirectory(const std::string& path) {
    return m_pProg && m_pProg->SetDirectory(QString::fromStdString(path)) != 0;
}

void CQtRunUi::SetFile(const std::string& path) {
    if (m_pProg) m_pProg->SetFile(QString::fromStdString(path));
}

void CQtRunUi::End() {
    if (!m_pProg) return;
    CProgDlg::Pause();
    m_pProg->hide();
}

bool CQtRunUi::EditorDialog(EditorOptions& options) {
    CEditorDlg dlg(options, Owner());
    return dlg.exec() == QDialog::Accepted;
}

void CQtRunUi::SetViewText(const std::string& text, bool modified) {
    if (m_pFrame) m_pFrame->SetReport(text, modified);
}

void CQtRunUi::ShowMainWindow(bool show) {
    if (!m_pFrame) return;
    if (show) {
        m_pFrame->show();
        m_pFrame->raise();
        m_pFrame->activateWindow();
    } else {
        m_pFrame->hide();
    }
}

}  // namespace ts
