// "Undo Last" follows the journals of runs, not this process's memory: a run killed before it
// recorded its end is offered for undo as the program starts, a run made now can be undone
// with Ctrl+U, and the command is off once there is nothing left to undo.
#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"
#include "ui/MainFrame.h"
#include "ui/TessaryApp.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// What a run killed right after its first rename leaves: the rename on disk, its record in a
// journal with no end.
void KilledRun(const CTempDir& site) {
    CFileSystem& fs = RealFileSystem();
    TreeKey key;
    QVERIFY(TreeKeyOf(fs, site.Path(), key));
    auto journal = CRunJournal::Create(fs, JournalsDirectory(), key.path, key.id);
    QVERIFY(journal);
    std::unique_ptr<CDir> top = fs.OpenDir(site.Path());
    FileStat st;
    QVERIFY(top->Stat("My Page.html", st));
    JournalRecord r;
    r.kind = JournalRecord::RENAME;
    r.dirId = key.id;
    r.name = "My Page.html";
    r.id = r.newId = st.id;
    r.after = "MYPAGE.HTM";
    QVERIFY(journal->Record(r) && journal->Commit());
    QVERIFY(top->RenameNoReplace(r.name, r.after));
}

}  // namespace

class TestUndoCommand : public QObject {
    Q_OBJECT
private slots:
    void undoLastFollowsTheJournal() {
        CUiTestEnv env;
        CTempDir site;
        site.Write("index.html", "<a href=\"My Page.html\">me</a>\r\n");
        site.Write("My Page.html", "<p>me</p>\r\n");
        const std::string before = TreeListing(site.Path(), true);
        env.WriteProfile("[Settings]\nDirectory=" + site.Path() +
                         "\nTarget=2\nRename=1\nAutoFileName=1\nLineEnd=3\n" +
                         "[HTMLSettings]\nFilesOnly=0\nReportExternalRefs=0\nHomePage=" +
                         site.Path() + "/index.html\n");
        KilledRun(site);
        QVERIFY(TreeListing(site.Path(), true) != before);

        // The start finds the run that never ended and offers its undo, before any wizard.
        CTessaryApp app(RealFileSystem());
        {
            CModalHand hand([](QWidget* w) {
                if (auto* box = qobject_cast<QMessageBox*>(w))
                    box->button(QMessageBox::Yes)->click();
            });
            QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
            QCOMPARE(hand.seen.size(), 1);
            QVERIFY(hand.seen[0].contains(QStringLiteral("did not finish")));
        }
        CTessaryDoc& doc = app.Doc();
        CMainFrame* frame = app.Frame();
        QAction* undo = frame->UndoLastAction();
        QCOMPARE(TreeListing(site.Path(), true), before);
        QVERIFY(doc.m_strReport.find("REVERTED FILES TO INITIAL STATE") != std::string::npos);
        emit frame->FileMenu()->aboutToShow();
        QVERIFY(!undo->isEnabled());

        // A run made now: renamed, converted and rewritten, and undone with Ctrl+U, byte for
        // byte.
        {
            // Through the wizard, and yes to the lists of new names and of files to convert.
            CModalHand hand([](QWidget* w) {
                if (AdvanceWizard(w)) return;
                if (auto* dlg = qobject_cast<QDialog*>(w)) dlg->accept();
            });
            doc.CheckDirectory();
        }
        QVERIFY(TreeListing(site.Path(), true) != before);
        emit frame->FileMenu()->aboutToShow();
        QVERIFY(undo->isEnabled());
        {
            CModalHand hand;
            frame->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(frame));
            QTest::keyClick(frame, Qt::Key_U, Qt::ControlModifier);
            QCOMPARE(TreeListing(site.Path(), true), before);
            QVERIFY(doc.m_strReport.find("FILES WITH CHANGED LINE ENDINGS:") != std::string::npos);
            emit frame->FileMenu()->aboutToShow();
            QVERIFY(!undo->isEnabled());
            // With nothing left to undo the shortcut does nothing.
            QTest::keyClick(frame, Qt::Key_U, Qt::ControlModifier);
            QCOMPARE(hand.seen.size(), 0);
        }

        // A page edited after the run is left by the undo, and the program asks what to do
        // with the journal: the originals go back over the edit.
        {
            CModalHand accept([](QWidget* w) {
                if (AdvanceWizard(w)) return;
                if (auto* dlg = qobject_cast<QDialog*>(w)) dlg->accept();
            });
            doc.CheckDirectory();
        }
        QVERIFY(Exists(site / "MYPAGE.HTM"));
        site.Write("MYPAGE.HTM", "<p>mine</p>\n");
        {
            CModalHand choose([](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box) return;
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QStringLiteral("Put Originals Back")) b->click();
            });
            emit frame->FileMenu()->aboutToShow();
            undo->trigger();
            QCOMPARE(choose.seen.size(), 1);
            QVERIFY(choose.seen[0].contains(QStringLiteral("journal keeps their originals")));
        }
        QCOMPARE(TreeListing(site.Path(), true), before);
        doc.m_bModified = false;
    }
};

QTEST_MAIN(TestUndoCommand)
#include "UndoCommandTest.moc"
