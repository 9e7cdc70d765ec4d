// The application object: it owns the master settings, the profile, the document, the main
// window and the splash window, and carries out start-up and shut-down in their fixed order.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "base/Profile.h"
#include "base/RunSettings.h"
#include "ui/RecentFileList.h"
#include "ui/ViewFont.h"

namespace ts {

class CFileSystem;
class CMainFrame;
class CQtRunUi;
class CSplashWnd;
class CTessaryDoc;

class CTessaryApp : public QObject {
    Q_OBJECT
public:
    explicit CTessaryApp(CFileSystem& fs);
    ~CTessaryApp() override;

    // Start-up: the splash window, the profile, the settings, the view's font, the document
    // and its window, then the command line (no argument: a new report, which starts a run
    // once the splash window has gone; one argument: that report is opened). False ends the
    // program.
    bool InitInstance(const QStringList& args);
    // Shut-down: the settings, the view's font and the recent files go to the profile.
    void ExitInstance();

    // Help > About: the splash window as a modal dialog.
    void OnAppAbout();
    // Waits, with events running, until the start-up splash window has gone.
    void WaitForSplash();
    bool SplashGone() const;

    // The exit status of a program ended by a stop signal, as for a cancelled command line.
    static constexpr int kStoppedStatus = 3;

    // How long the start-up splash window stays at most (tests shorten it).
    static int s_nSplashTimeoutMs;

    CFileSystem& FileSystem() const { return m_fs; }
    CProfile& Profile() { return m_profile; }
    RunSettings& Settings() { return m_settings; }
    CViewFont& ViewFont() { return m_viewFont; }
    CRecentFileList& RecentFiles() { return m_recent; }
    CTessaryDoc& Doc() const { return *m_pDoc; }
    CMainFrame* Frame() const { return m_pFrame.get(); }
    CQtRunUi& Ui() const { return *m_pUi; }
    CSplashWnd* Splash() const;

private:
    bool OfferUnfinishedRun();
    // A stop signal reaches a run through its progress; a window that waits for an answer is
    // closed as by Cancel, and once no run is going on the program ends.
    void OnStopSignal();

    CFileSystem& m_fs;
    CProfile m_profile;
    RunSettings m_settings;
    CViewFont m_viewFont;
    CRecentFileList m_recent;
    std::unique_ptr<CQtRunUi> m_pUi;
    std::unique_ptr<CTessaryDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
    QPointer<CSplashWnd> m_pSplash;
    QTimer m_stopWatch;
};

}  // namespace ts
