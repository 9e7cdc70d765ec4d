// Start-up order: the splash window first, the settings from the profile, and the first run
// only once the splash window has gone.
#include <QElapsedTimer>
#include <QTest>

#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "ui/MainFrame.h"
#include "ui/ProgDlg.h"
#include "ui/SplashWnd.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// Records the windows as they are shown, and whether the splash window was still there.
class CShowRecorder : public QObject {
public:
    CTessaryApp* app = nullptr;
    QStringList events;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            if (qobject_cast<CSplashWnd*>(o)) events << QStringLiteral("splash");
            if (auto* dlg = qobject_cast<CProgDlg*>(o))
                events << QStringLiteral("progress %1, splash %2")
                              .arg(dlg->windowTitle(), app && !app->SplashGone()
                                                           ? QStringLiteral("still there")
                                                           : QStringLiteral("gone"));
        }
        return false;
    }
};

// Settings the wizard accepts as they are: names checked for DOS, nothing renamed.
std::string SiteProfile(const std::string& dir) {
    return "[Settings]\nDirectory=" + dir + "\nTarget=2\nAutoFileName=1\n" +
           "[HTMLSettings]\nFilesOnly=1\n";
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void firstRunStartsAfterTheSplashHasGone() {
        CUiTestEnv env;
        CTempDir site;
        site.Write("a.txt", "a\n");
        site.Write("sub/b.txt", "b\n");
        env.WriteProfile(SiteProfile(site.Path()));
        CTessaryApp::s_nSplashTimeoutMs = 300;

        CShowRecorder recorder;
        qApp->installEventFilter(&recorder);
        CModalHand hand(FinishWizardHandler());
        CTessaryApp app(RealFileSystem());
        recorder.app = &app;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
        qApp->removeEventFilter(&recorder);

        // The run waited for the splash window's time to be up.
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(recorder.events.size() >= 2);
        QCOMPARE(recorder.events.first(), QStringLiteral("splash"));
        QCOMPARE(recorder.events.at(1),
                 QStringLiteral("progress Tessary: Scanning Files, splash gone"));
        for (const QString& e : recorder.events.mid(1))
            QVERIFY2(e.endsWith("gone"), qPrintable(e));

        // The run used the stored settings and its report is in the view.
        QVERIFY(app.Doc().m_bReportBuilt);
        QCOMPARE(app.Settings().Directory, site.Path());
        QString report = app.Frame()->View()->toPlainText();
        QVERIFY(report.startsWith("REPORT FROM SUCCESSFUL PASS"));
        QVERIFY(report.contains(QString::fromStdString("Directory:  " + site.Path())));
        QVERIFY(report.contains("2 files in 1 directories"));
        QVERIFY(app.Frame()->isVisible());
        QVERIFY(app.Doc().m_bModified);
        QCOMPARE(app.Frame()->windowTitle(), QStringLiteral("Report[*] - Tessary"));

        // Shut-down writes the settings back.
        app.ExitInstance();
        std::string profile = env.ReadProfile();
        QVERIFY(profile.find("Directory=" + site.Path()) != std::string::npos);
        QVERIFY(profile.find("FilesOnly=1") != std::string::npos);
        app.Doc().m_bModified = false;
    }

    void clickingTheSplashStartsTheRunAtOnce() {
        CUiTestEnv env;
        CTempDir site;
        site.Write("a.txt", "a\n");
        env.WriteProfile(SiteProfile(site.Path()));
        CTessaryApp::s_nSplashTimeoutMs = 20000;

        CModalHand hand(FinishWizardHandler());
        CTessaryApp app(RealFileSystem());
        QTimer::singleShot(100, [&app] {
            QVERIFY(app.Splash());
            QTest::mouseClick(app.Splash(), Qt::LeftButton, {}, QPoint(30, 30));
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(app.SplashGone());
        QVERIFY(app.Doc().m_bReportBuilt);
        // The window goes away for good; the timer later finds nothing to do.
        QTRY_VERIFY(app.Splash() == nullptr);
        app.Doc().m_bModified = false;
    }
};

QTEST_MAIN(TestStartup)
#include "StartupTest.moc"
