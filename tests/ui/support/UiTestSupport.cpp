#include "ui/support/UiTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "ui/ProgDlg.h"
#include "ui/TessaryApp.h"
#include "ui/WizardSheet.h"

namespace ts::test {

CUiTestEnv::CUiTestEnv()
    : m_profile(m_dir / "tessary.ini"),
      m_oldProfile(qgetenv("TESSARY_PROFILE")),
      m_oldSplash(CTessaryApp::s_nSplashTimeoutMs),
      m_oldPause(CProgDlg::s_nPauseMs) {
    qputenv("TESSARY_PROFILE", QByteArray::fromStdString(m_profile));
    CTessaryApp::s_nSplashTimeoutMs = 200;
    CProgDlg::s_nPauseMs = 0;
}

CUiTestEnv::~CUiTestEnv() {
    if (m_oldProfile.isEmpty())
        qunsetenv("TESSARY_PROFILE");
    else
        qputenv("TESSARY_PROFILE", m_oldProfile);
    CTessaryApp::s_nSplashTimeoutMs = m_oldSplash;
    CProgDlg::s_nPauseMs = m_oldPause;
}

void CUiTestEnv::WriteProfile(const std::string& text) const {
    m_dir.Write("tessary.ini", text);
}

std::string CUiTestEnv::ReadProfile() const {
    return ReadFile(m_profile);
}

CModalHand::CModalHand(Handler handler) : m_handler(std::move(handler)) {
    connect(&m_timer, &QTimer::timeout, this, &CModalHand::Poll);
    m_timer.start(10);
}

void CModalHand::Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) return;
    QString text;
    if (auto* box = qobject_cast<QMessageBox*>(w)) text = box->text();
    seen << QStringLiteral("%1: %2: %3")
                .arg(QString::fromLatin1(w->metaObject()->className()), w->windowTitle(), text);
    if (m_handler) {
        m_handler(w);
    } else if (auto* dlg = qobject_cast<QDialog*>(w)) {
        dlg->reject();
    }
}

std::string CopySampleSite(const CTempDir& dir, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path to = dir / name;
    fs::copy(fs::path(TESSARY_SOURCE_DIR) / "examples" / "site", to, fs::copy_options::recursive);
    return to.string();
}

bool AdvanceWizard(QWidget* w) {
    auto* sheet = qobject_cast<ts::CWizardSheet*>(w);
    if (!sheet) return false;
    if (sheet->FinishButton()->isVisible())
        sheet->FinishButton()->click();
    else
        sheet->NextButton()->click();
    return true;
}

CModalHand::Handler FinishWizardHandler() {
    return [](QWidget* w) {
        if (AdvanceWizard(w)) return;
        if (auto* dlg = qobject_cast<QDialog*>(w)) dlg->reject();
    };
}

}  // namespace ts::test
