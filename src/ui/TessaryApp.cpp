#include "ui/TessaryApp.h"

#include "base/Strings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/ShownText.h"
#include "platform/StopSignals.h"
#include "ui/AppMessageBox.h"
#include "ui/MainFrame.h"
#include "ui/QtRunUi.h"
#include "ui/SplashWnd.h"

namespace ts {

int CTessaryApp::s_nSplashTimeoutMs = 15000;

CTessaryApp::CTessaryApp(CFileSystem& fs) : m_fs(fs) {}

CTessaryApp::~CTessaryApp() {
    // The window goes before the document it shows, the document before the interface it
    // talks to.
    m_pFrame.reset();
    m_pDoc.reset();
    m_pUi.reset();
    delete m_pSplash.data();
}

bool CTessaryApp::InitInstance(const QStringList& args) {
    // Signals cannot touch windows: a timer looks at the flag they set.
    connect(&m_stopWatch, &QTimer::timeout, this, &CTessaryApp::OnStopSignal);
    m_stopWatch.start(100);
    // The splash window greets the user while the rest starts.
    m_pSplash = new CSplashWnd(false);
    m_pSplash->show();
    m_pSplash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QTimer::singleShot(s_nSplashTimeoutMs, this, [this] {
        if (m_pSplash) m_pSplash->Dismiss();
    });

    m_profile.SetPath(ProfilePath());
    m_profile.Load(m_fs);
    m_recent.Load(m_profile);
    LoadSettings(m_profile, m_settings);
    m_viewFont.Load(m_profile);

    m_pUi = std::make_unique<CQtRunUi>();
    m_pUi->SetFileSystem(m_fs);
    m_pDoc = std::make_unique<CTessaryDoc>(m_fs, *m_pUi, &m_profile, &m_settings);
    m_pFrame = std::make_unique<CMainFrame>(*this);
    m_pUi->SetFrame(m_pFrame.get());

    if (args.size() > 1) {
        if (!m_pFrame->OpenDocumentFile(args.at(1))) return false;
    } else if (!OfferUnfinishedRun()) {
        m_pFrame->NewDocument();
    }
    m_pFrame->show();
    return true;
}

// The last run of the directory can be undone from the start; one that never recorded its
// end (killed, or the machine went down) is offered at once. True when it was undone.
bool CTessaryApp::OfferUnfinishedRun() {
    if (!m_pDoc->FindLastRun(m_settings.Directory)) return false;
    const QString text = QString::fromStdString(
        FormatMessage(IDS_UNFINISHED_OFFER, ShownName(m_settings.Directory)));
    if (AppQuestion(nullptr, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) !=
        QMessageBox::Yes)
        return false;
    m_pFrame->show();
    m_pFrame->OnUndoLast();
    return true;
}

void CTessaryApp::ExitInstance() {
    SaveSettings(m_profile, m_settings);
    m_viewFont.Save(m_profile);
    m_recent.Save(m_profile);
    if (!m_profile.Save(m_fs))
        AppMessageBox(nullptr, tr("Could not store the settings in \"%1\".")
                                   .arg(QString::fromStdString(m_profile.Path())));
}

void CTessaryApp::OnStopSignal() {
    if (!StopSignalled()) return;
    if (QWidget* w = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
        return;
    }
    if (m_pFrame && m_pFrame->Busy()) return;
    m_stopWatch.stop();
    QCoreApplication::exit(kStoppedStatus);
}

void CTessaryApp::OnAppAbout() {
    CSplashWnd about(true, m_pFrame.get());
    about.exec();
}

CSplashWnd* CTessaryApp::Splash() const {
    return m_pSplash.data();
}

bool CTessaryApp::SplashGone() const {
    return !m_pSplash || !m_pSplash->isVisible();
}

void CTessaryApp::WaitForSplash() {
    while (!SplashGone()) {
        QEventLoop loop;
        connect(m_pSplash, &CSplashWnd::dismissed, &loop, &QEventLoop::quit);
        connect(m_pSplash, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace ts
