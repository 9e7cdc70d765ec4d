// SIGTERM to the desktop program ends a run as Cancel does: a window waiting for an answer is
// closed, the report says the run ended early, nothing is half done and no temporary file
// stays; then the program ends with status 3.
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <csignal>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "platform/StopSignals.h"
#include "ui/MainFrame.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/VerAsciiDlg.h"
#include "ui/VerDlg.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// The status the program's event loop ends with, or -1 when it goes on for seconds.
int ExitStatus() {
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(-1); });
    return loop.exec();
}

}  // namespace

class TestStopSignal : public QObject {
    Q_OBJECT
private slots:
    void sigtermEndsTheRunAndTheProgram() {
        CUiTestEnv env;
        CTempDir tmp;
        const std::string site = tmp.Mkdir("site");
        tmp.Write("site/index.html", "<p>home</p>\r\n");
        tmp.Write("site/My Page.html", "<p>me</p>\r\n");
        tmp.Write("site/sub dir/notes file.txt", "a\r\nb\r\n");
        const std::string before = TreeListing(site, true);
        env.WriteProfile("[Settings]\nDirectory=" + site +
                         "\nTarget=2\nRename=1\nAutoFileName=1\nLineEnd=3\n"
                         "[HTMLSettings]\nFilesOnly=1\n");

        InstallStopSignals();
        StopSignalled() = false;
        bool raised = false;
        // The files are renamed; then, while Verify ASCII Line End Conversions waits, the
        // signal comes. The window is left open: the program itself must close it. (One run
        // per process: once the program has ended its event loop, Qt starts no other.)
        CModalHand hand([&](QWidget* w) {
            if (AdvanceWizard(w) || raised) return;
            if (auto* names = qobject_cast<CVerDlg*>(w)) {
                names->OkButton()->click();
            } else if (qobject_cast<CVerAsciiDlg*>(w)) {
                raised = true;
                std::raise(SIGTERM);
            } else if (auto* dlg = qobject_cast<QDialog*>(w)) {
                dlg->reject();
            }
        });
        CTessaryApp app(RealFileSystem());
        QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
        QVERIFY(raised);

        const QString report = app.Frame()->View()->toPlainText();
        QVERIFY2(report.startsWith(QString::fromUtf8(LoadString(IDS_TITLE_PARTIAL_USER))),
                 qPrintable(report.left(300)));
        const std::string after = TreeListing(site, true);
        QVERIFY2(after.find(".ts_") == std::string::npos, after.c_str());
        // Renamed, and no file converted: every file whole.
        QVERIFY2(after.find("MYPAGE.HTM") != std::string::npos, after.c_str());
        QVERIFY2(after.find("a\r\nb\r\n") != std::string::npos, after.c_str());
        QCOMPARE(ExitStatus(), CTessaryApp::kStoppedStatus);
        StopSignalled() = false;
        app.Doc().m_bModified = false;
    }
};

QTEST_MAIN(TestStopSignal)
#include "StopSignalTest.moc"
