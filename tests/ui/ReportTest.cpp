// Reports in the desktop program: the size rule that sends large reports to the external
// editor, the External Editor dialog, and reports saved and opened again byte for byte.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "ui/EditorDlg.h"
#include "ui/MainFrame.h"
#include "ui/ProgDlg.h"
#include "ui/QtRunUi.h"
#include "ui/RecentFileList.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// An application started on a saved report, so that no run gets in the way.
struct CAppOnReport {
    CAppOnReport(const CTempDir& dir, const std::string& runDir) : app(RealFileSystem()) {
        std::string report = dir.Write("start.tsy", "start\r\n");
        ok = app.InitInstance({QStringLiteral("tessary"), QString::fromStdString(report)});
        app.Settings().Directory = runDir;
        app.Doc().m_settings.Directory = runDir;
        app.Doc().m_tempDir = dir.Mkdir("tmp");
    }
    ~CAppOnReport() { app.Doc().m_bModified = false; }
    CTessaryApp app;
    bool ok;
};

// A status report whose size makes the estimate exactly size bytes (with an empty error
// report the estimate is 2048 plus the status report).
std::string StatusOfEstimate(const CTempDir& dir, size_t size) {
    std::string line(70, 'x');
    line += "\r\n";
    std::string text;
    while (text.size() + line.size() <= size - 2048)
        text += line;
    text += std::string(size - 2048 - text.size(), 'y');
    return dir.Write("status.txt", text);
}

}  // namespace

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void reportsUpTo32768BytesStayInTheView() {
        CUiTestEnv env;
        CTempDir dir, run;
        CAppOnReport a(dir, run.Path());
        QVERIFY(a.ok);
        CTessaryDoc& doc = a.app.Doc();
        std::string error = dir.Write("error.txt", "");

        // 32768: the view, without any dialog.
        std::string status = StatusOfEstimate(dir, 32768);
        CModalHand hand;
        QCOMPARE(doc.BuildFinalReport(status, error, 3, 1, RS_COMPLETED), 1);
        QVERIFY2(hand.seen.isEmpty(), qPrintable(hand.seen.join("\n")));
        QString view = a.app.Frame()->View()->toPlainText();
        QVERIFY(view.startsWith("REPORT FROM SUCCESSFUL PASS"));
        QVERIFY(view.endsWith(QString(48, 'y')));
        QVERIFY(doc.m_bModified);
        QVERIFY(!Exists(run / "REPORT.TSY"));

        // 32769: the External Editor dialog, and the external editor even though the dialog
        // was cancelled; no editor is configured, so the user is told where the report is.
        status = StatusOfEstimate(dir, 32769);
        QCOMPARE(doc.BuildFinalReport(status, error, 3, 1, RS_COMPLETED), 0);
        QCOMPARE(hand.seen.size(), 2);
        QVERIFY(hand.seen[0].startsWith("ts::CEditorDlg: Tessary: External Editor"));
        std::string reportPath = run / "REPORT.TSY";
        QCOMPARE(hand.seen[1],
                 QString::fromStdString("QMessageBox: Tessary: " +
                                        FormatMessage(IDS_EDITOR_NOT_FOUND, "", reportPath)));
        QVERIFY(ReadFile(reportPath).find("REPORT FROM SUCCESSFUL PASS\r\n") == 0);
        QCOMPARE(a.app.Frame()->View()->toPlainText(),
                 QString::fromUtf8(LoadString(IDS_REPORT_LOCATED_AT)) + "\n" +
                     QString::fromStdString(reportPath));
        QVERIFY(!doc.m_bModified);
        // Cancel stored nothing.
        QVERIFY(env.ReadProfile().find("EditorSettings") == std::string::npos);
    }

    void useAlwaysAsksForEverySmallReport() {
        CUiTestEnv env;
        CTempDir dir, run;
        // The "editor" notes the file it was asked to open.
        std::string opened = dir / "opened.txt";
        std::string editor =
            dir.Write("editor.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened + "'\n");
        QFile::setPermissions(QString::fromStdString(editor),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.WriteProfile("[EditorSettings]\nExternalEditor=" + editor + "\nUseAlways=1\n");
        CAppOnReport a(dir, run.Path());
        QVERIFY(a.ok);
        CTessaryDoc& doc = a.app.Doc();
        std::string status = dir.Write("status.txt", "small\r\n");
        std::string error = dir.Write("error.txt", "");

        // OK with the box ticked: the editor opens the report.
        {
            CModalHand hand([](QWidget* w) {
                auto* dlg = qobject_cast<CEditorDlg*>(w);
                QVERIFY(dlg);
                QVERIFY(dlg->UseAlwaysBox()->isChecked());
                dlg->accept();
            });
            QCOMPARE(doc.BuildFinalReport(status, error, 1, 1, RS_COMPLETED), 1);
            QCOMPARE(hand.seen.size(), 1);
        }
        QTRY_COMPARE(ReadFile(opened), run / "REPORT.TSY");
        QVERIFY(a.app.Frame()->View()->toPlainText().startsWith(
            QString::fromUtf8(LoadString(IDS_REPORT_LOCATED_AT))));
        QVERIFY(env.ReadProfile().find("UseAlways=1") != std::string::npos);

        // Clearing the box and pressing OK shows the report in the view.
        {
            QString proposed;
            CModalHand hand([&proposed](QWidget* w) {
                auto* dlg = qobject_cast<CEditorDlg*>(w);
                QVERIFY(dlg);
                proposed = dlg->ReportNameEdit()->text();
                dlg->UseAlwaysBox()->setChecked(false);
                dlg->accept();
            });
            QCOMPARE(doc.BuildFinalReport(status, error, 1, 1, RS_COMPLETED), 1);
            QCOMPARE(hand.seen.size(), 1);
            // The first report took REPORT.TSY.
            QCOMPARE(proposed.toStdString(), run / "REPORT_1.TSY");
        }
        QVERIFY(a.app.Frame()->View()->toPlainText().startsWith("REPORT FROM SUCCESSFUL PASS"));
        QVERIFY(doc.m_bModified);
        QVERIFY(env.ReadProfile().find("UseAlways=0") != std::string::npos);
    }

    void externalEditorCommandProposesAFreeName() {
        CUiTestEnv env;
        CTempDir dir, run;
        run.Write("REPORT.TSY", "old");
        run.Write("REPORT_1.TSY", "older");
        CAppOnReport a(dir, run.Path());
        QVERIFY(a.ok);
        QString proposed;
        CModalHand hand([&proposed](QWidget* w) {
            auto* dlg = qobject_cast<CEditorDlg*>(w);
            QVERIFY(dlg);
            proposed = dlg->ReportNameEdit()->text();
            dlg->EditorEdit()->setText("/usr/bin/true");
            dlg->accept();
        });
        a.app.Frame()->OnOptionsEditor();
        QCOMPARE(proposed.toStdString(), run / "REPORT_2.TSY");
        // OK stores the options at once.
        std::string profile = env.ReadProfile();
        QVERIFY(profile.find("ExternalEditor=/usr/bin/true") != std::string::npos);
        QVERIFY(profile.find("ReportName=" + run / "REPORT_2.TSY") != std::string::npos);
        QVERIFY(profile.find("UseAlways=0") != std::string::npos);
    }

    void reportsAreSavedAndReopenedByteForByte() {
        CUiTestEnv env;
        CTempDir dir;
        // CR LF lines, UTF-8 text, and a byte that is not UTF-8 in the second report.
        const std::string utf8 = "REPORT FROM SUCCESSFUL PASS\r\n\r\ncaf\xc3\xa9.html\r\n";
        const std::string raw = "old report\r\nna\xefve.htm\r\n";
        std::string first = dir.Write("first.tsy", utf8);
        std::string second = dir.Write("second.tsy", raw);

        CTessaryApp app(RealFileSystem());
        QVERIFY(app.InitInstance({QStringLiteral("tessary"), QString::fromStdString(first)}));
        CMainFrame* frame = app.Frame();
        // Opening a report starts no run.
        QVERIFY(app.Ui().ProgressDialog() == nullptr);
        QCOMPARE(app.Doc().m_nNewDocMark, 0);
        QCOMPARE(frame->windowTitle(), QStringLiteral("first.tsy[*] - Tessary"));
        QCOMPARE(frame->View()->toPlainText(),
                 QString::fromUtf8("REPORT FROM SUCCESSFUL PASS\n\ncaf\u00e9.html\n"));

        QVERIFY(frame->SaveDocumentFile(QString::fromStdString(dir / "copy.tsy")));
        QCOMPARE(ReadFile(dir / "copy.tsy"), utf8);
        QVERIFY(frame->OpenDocumentFile(QString::fromStdString(second)));
        QVERIFY(frame->SaveDocumentFile(QString::fromStdString(dir / "copy2.tsy")));
        QCOMPARE(ReadFile(dir / "copy2.tsy"), raw);

        // An edited report keeps its line ends and its encoding.
        QVERIFY(frame->OpenDocumentFile(QString::fromStdString(first)));
        QTextCursor end = frame->View()->textCursor();
        end.movePosition(QTextCursor::End);
        frame->View()->setTextCursor(end);
        QTest::keyClicks(frame->View(), "checked");
        QVERIFY(app.Doc().m_bModified);
        QVERIFY(frame->isWindowModified());
        QVERIFY(frame->SaveDocumentFile(QString::fromStdString(dir / "edited.tsy")));
        QCOMPARE(ReadFile(dir / "edited.tsy"), utf8 + "checked");
        QVERIFY(!app.Doc().m_bModified);
        QVERIFY(frame->OpenDocumentFile(QString::fromStdString(dir / "edited.tsy")));
        QVERIFY(frame->SaveDocumentFile(QString::fromStdString(dir / "again.tsy")));
        QCOMPARE(ReadFile(dir / "again.tsy"), utf8 + "checked");

        // The recent-file list holds the last four, most recent first, and is kept.
        const auto& recent = app.RecentFiles().Entries();
        QCOMPARE(recent.size(), size_t(4));
        QCOMPARE(recent[0], dir / "again.tsy");
        QCOMPARE(recent[1], dir / "edited.tsy");
        app.ExitInstance();
        QVERIFY(env.ReadProfile().find("File1=" + dir / "again.tsy") != std::string::npos);

        // A report that cannot be read is refused with a message, and the program does not
        // start on it.
        CModalHand hand;
        CTessaryApp missing(RealFileSystem());
        QVERIFY(!missing.InitInstance(
            {QStringLiteral("tessary"), QString::fromStdString(dir / "missing.tsy")}));
        QCOMPARE(hand.seen.size(), 1);
        QVERIFY(hand.seen[0].contains("missing.tsy"));
    }
};

QTEST_MAIN(TestReports)
#include "ReportTest.moc"
