// "Undo Last" is enabled only while the document holds the tree of a run that renamed files
// or converted line ends.
#include <QAction>
#include <QMenu>
#include <QTest>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "html/HtmlNode.h"
#include "platform/FileSystem.h"
#include "site/DirXpNode.h"
#include "ui/MainFrame.h"
#include "ui/QtRunUi.h"
#include "ui/TessaryApp.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

class TestUndoCommand : public QObject {
    Q_OBJECT
private slots:
    void undoLastFollowsTheKeptTree() {
        CUiTestEnv env;
        CTempDir site;
        site.Write("index.html", "<html></html>\n");
        // A run that only reports: its tree is not kept.
        env.WriteProfile("[Settings]\nDirectory=" + site.Path() +
                         "\nTarget=2\nRename=0\nAutoFileName=1\n" +
                         "[HTMLSettings]\nFilesOnly=1\n");
        CTessaryApp app(RealFileSystem());
        {
            CModalHand wizard(FinishWizardHandler());
            QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
        }
        CTessaryDoc& doc = app.Doc();
        CMainFrame* frame = app.Frame();
        QAction* undo = frame->UndoLastAction();
        QCOMPARE(undo->text(), QStringLiteral("&Undo Last"));
        QCOMPARE(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));
        QVERIFY(doc.m_bReportBuilt);
        QVERIFY(!doc.m_pTree);
        QVERIFY(!undo->isEnabled());

        // A tree kept from a run: the command follows Rename and LineEnd whenever the File
        // menu opens.
        CQtRunUi ui;
        CRunContext ctx(RealFileSystem(), ui);
        doc.m_pTree = MakeRunTree(ctx, site.Path(), MakeWebFileNode);
        struct Case {
            bool rename;
            int lineEnd;
            bool enabled;
        };
        for (Case c : {Case{true, 0, true}, Case{false, 1, true}, Case{false, 0, false},
                       Case{true, 3, true}}) {
            doc.m_settings.Rename = c.rename;
            doc.m_settings.LineEnd = c.lineEnd;
            emit frame->FileMenu()->aboutToShow();
            QCOMPARE(undo->isEnabled(), c.enabled);
        }

        // Ctrl+U reaches the undo; with nothing changed on disk it says so.
        doc.m_settings.Rename = true;
        emit frame->FileMenu()->aboutToShow();
        CModalHand hand;
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(hand.seen.size(), 1);
        QVERIFY(hand.seen[0].endsWith(QString::fromUtf8(LoadString(IDS_CANNOT_UNDO))));

        // Without a tree the command is off whatever the settings say, and the shortcut
        // does nothing.
        doc.m_pTree.reset();
        emit frame->FileMenu()->aboutToShow();
        QVERIFY(!undo->isEnabled());
        QTest::keyClick(frame, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(hand.seen.size(), 1);
        doc.m_bModified = false;
    }
};

QTEST_MAIN(TestUndoCommand)
#include "UndoCommandTest.moc"
