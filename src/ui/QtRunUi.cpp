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
    if (CProgDlg* prog = m_progress.Dialog(); prog && prog->isVisible()) return prog;
    if (m_pFrame && m_pFrame->isVisible()) return m_pFrame;
    return nullptr;
}

MessageBoxAnswer CQtRunUi::MessageBox(const std::string& text, int style) {
    return static_cast<MessageBoxAnswer>(
        AppMessageBox(Owner(), QString::fromStdString(text), style));
}

bool CQtRunUi::EditorDialog(EditorOptions& options) {
    CEditorDlg dlg(options, Owner());
    return dlg.exec() == QDialog::Accepted;
}

void CQtRunUi::SetViewText(const std::string& text, bool modified) {
    if (m_pFrame) m_pFrame->SetReport(text, modified);
}

void CQtRunUi::ShowStatusNote(const std::string& text) {
    if (m_pFrame) m_pFrame->ShowStatusNote(QString::fromStdString(text));
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
