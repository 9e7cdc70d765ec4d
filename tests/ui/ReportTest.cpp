// Reports in the desktop program: the size rule that sends large reports to the external
// editor (the user's own, else the desktop's default one, else the view after all), the
// External Editor dialog, and reports saved and opened again byte for byte.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "support/EnvVar.h"
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
    }

    // Without an editor of the user's own, a report too large for the view goes to the
    // desktop's default editor with no dialog; when none can be started it is shown whole in
    // the view, and the status bar says where its file is. An editor of the user's own keeps
    // the dialog and wins over $VISUAL.
    void largeReportsWithoutAnEditorOpenInTheDefaultOne() {
        CUiTestEnv env;
        CTempDir dir, run;
        CAppOnReport a(dir, run.Path());
        QVERIFY(a.ok);
        CTessaryDoc& doc = a.app.Doc();
        CMainFrame* frame = a.app.Frame();
        std::string error = dir.Write("error.txt", "");
        std::string status = StatusOfEstimate(dir, 32769);
        auto editor = [&dir](const std::string& name) {
            std::string noted = dir / (name + ".txt");
            std::string path =
                dir.Write(name, "#!/bin/sh\nprintf '[%s]' \"$@\" > '" + noted + ".tmp' && mv '" +
                                    noted + ".tmp' '" + noted + "'\n");
            QFile::setPermissions(QString::fromStdString(path),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            return noted;
        };
        std::string visualNoted = editor("visual ed");
        CEnvVar editorVar("EDITOR", nullptr);
        {
            CEnvVar visual("VISUAL", ("'" + dir / "visual ed" + "' --new-window").c_str());
            CModalHand hand;
            QCOMPARE(doc.BuildFinalReport(status, error, 3, 1, RS_COMPLETED), 1);
            QTRY_COMPARE(ReadFile(visualNoted), "[--new-window][" + run / "REPORT.TSY" + "]");
            QVERIFY2(hand.seen.isEmpty(), qPrintable(hand.seen.join("\n")));
        }
        QCOMPARE(frame->View()->toPlainText(),
                 QString::fromUtf8(LoadString(IDS_REPORT_LOCATED_AT)) + "\n" +
                     QString::fromStdString(run / "REPORT.TSY"));
        QCOMPARE(frame->StatusNote(), QStringLiteral("Ready"));

        // No $VISUAL, no $EDITOR, no xdg-open on PATH.
        {
            CEnvVar visual("VISUAL", nullptr);
            CEnvVar path("PATH", dir.Mkdir("empty-bin").c_str());
            CModalHand hand;
            QCOMPARE(doc.BuildFinalReport(status, error, 3, 1, RS_COMPLETED), 1);
            QVERIFY2(hand.seen.isEmpty(), qPrintable(hand.seen.join("\n")));
        }
        const std::string report = run / "REPORT_1.TSY";
        QString view = frame->View()->toPlainText();
        QVERIFY(view.startsWith("REPORT FROM SUCCESSFUL PASS"));
        QVERIFY(view.endsWith(QString(48, 'y')));
        QVERIFY(view.size() > 32768 - 2048);
        QVERIFY(ReadFile(report).find("REPORT FROM SUCCESSFUL PASS\r\n") == 0);
        QCOMPARE(frame->StatusNote(),
                 QString::fromStdString(FormatMessage(IDS_NO_EDITOR_LARGE, report)));
        QVERIFY(!doc.m_bModified);
        QVERIFY(env.ReadProfile().find("EditorSettings") == std::string::npos);
        // The next report takes the note's place.
        QVERIFY(frame->OpenDocumentFile(QString::fromStdString(report)));
        QCOMPARE(frame->StatusNote(), QStringLiteral("Ready"));

        // An editor of the user's own: the dialog as before, and that editor, not $VISUAL.
        std::string ownNoted = editor("own-ed");
        a.app.Profile().SetString("EditorSettings", "ExternalEditor", dir / "own-ed");
        ::unlink(visualNoted.c_str());
        {
            CEnvVar visual("VISUAL", ("'" + dir / "visual ed" + "'").c_str());
            CModalHand hand;
            QCOMPARE(doc.BuildFinalReport(status, error, 3, 1, RS_COMPLETED), 1);
            QTRY_COMPARE(ReadFile(ownNoted), "[" + run / "REPORT_2.TSY" + "]");
            QCOMPARE(hand.seen.size(), 1);
            QVERIFY(hand.seen[0].startsWith("ts::CEditorDlg: Tessary: External Editor"));
        }
        QVERIFY(!Exists(visualNoted));
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
