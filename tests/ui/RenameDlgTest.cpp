// The Rename File prompt and its file-name box: the checks of Accept, the answers, and the
// keystroke rules applied to typed, deleted and pasted text.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "base/RunUi.h"
#include "base/Strings.h"
#include "site/SiteFixture.h"
#include "ui/FileEdit.h"
#include "ui/RenameDlg.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

QString Msg(int id) {
    return QStringLiteral("QMessageBox: Tessary: ") + QString::fromUtf8(LoadString(id));
}

// A box for a target, shown and focused, with the refusals it reports.
struct CBox {
    explicit CBox(int target, int maxLen = 255) : refusals(&edit, &CFileEdit::refused) {
        edit.SetTarget(target);
        edit.SetMaxLength(maxLen);
        edit.show();
        edit.setFocus();
    }
    QString Type(const QString& keys) {
        QTest::keyClicks(&edit, keys);
        return edit.text();
    }
    CFileEdit edit;
    QSignalSpy refusals;
};

}  // namespace

class TestRenameDlg : public QObject {
    Q_OBJECT
private slots:
    void showsTheEntryAndTheTargetsRules() {
        CSiteFixture fx;
        fx.site.Write("My Page.html", "x\n");
        fx.Scan();
        fx.CheckNames(TFS_DOS_FAT);
        CRenameDlg dlg(fx.Node("My Page.html"), TFS_DOS_FAT, true);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Tessary: Rename File"));
        QCOMPARE(
            dlg.MessageLabel()->text(),
            QStringLiteral("This dialog will only let you enter valid DOS 8.3 FAT filenames."));
        QCOMPARE(dlg.DirectoryField()->text().toStdString(), fx.site.Path());
        QCOMPARE(dlg.OriginalField()->text(), QStringLiteral("My Page.html"));
        QVERIFY(dlg.OriginalField()->isReadOnly());
        QCOMPARE(dlg.NameEdit()->text(), QStringLiteral("MYPAGE.HTM"));
        QCOMPARE(dlg.NameEdit()->Filter().Target(), int(TFS_DOS_FAT));
        QCOMPARE(dlg.NameEdit()->Filter().MaxLength(), 12);
        QVERIFY(!dlg.AcceptAllButton()->isHidden());
        QVERIFY(!dlg.NoRenameButton()->isHidden());
        QVERIFY(dlg.AcceptButton()->isDefault());
        CRenameDlg edit(fx.Node("My Page.html"), TFS_DOS_FAT, false);
        QVERIFY(edit.AcceptAllButton()->isHidden());
        QVERIFY(edit.NoRenameButton()->isHidden());
    }

    void acceptRefusesAnEmptyOrTakenName() {
        CSiteFixture fx;
        fx.site.Write("a b.txt", "x\n");
        fx.site.Write("NOTES.TXT", "n\n");
        fx.Scan();
        fx.CheckNames(TFS_DOS_FAT);
        CFileNode* node = fx.Node("a b.txt");
        QCOMPARE(node->m_strNewName, std::string("AB.TXT"));
        CRenameDlg dlg(node, TFS_DOS_FAT, true);
        CModalHand hand;  // closes the message boxes
        dlg.show();

        // 274: the suggestion comes back and the prompt stays.
        dlg.NameEdit()->clear();
        dlg.AcceptButton()->click();
        QCOMPARE(hand.seen, QStringList{Msg(IDS_EMPTY_NAME)});
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.NameEdit()->text(), QStringLiteral("AB.TXT"));

        // 351: a sibling has the name; a unique one is put in its place.
        hand.seen.clear();
        dlg.NameEdit()->setText(QStringLiteral("NOTES.TXT"));
        dlg.AcceptAllButton()->click();
        QCOMPARE(hand.seen, QStringList{Msg(IDS_NOT_UNIQUE)});
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.NameEdit()->text(), QStringLiteral("NOTES~1.TXT"));
        QCOMPARE(node->m_strNewName, std::string("AB.TXT"));

        // Now it passes, and the node has it.
        hand.seen.clear();
        dlg.AcceptAllButton()->click();
        QVERIFY(hand.seen.isEmpty());
        QCOMPARE(dlg.result(), int(RENAME_ACCEPT_ALL));
        QCOMPARE(node->m_strNewName, std::string("NOTES~1.TXT"));

        // The current name itself: no rename.
        CRenameDlg again(node, TFS_UNIX, false);
        again.NameEdit()->setText(QStringLiteral("a b.txt"));
        again.AcceptButton()->click();
        QCOMPARE(again.result(), int(RENAME_ACCEPT));
        QCOMPARE(node->m_strNewName, std::string());
    }

    void everyButtonHasItsAnswer() {
        CSiteFixture fx;
        fx.site.Write("x y.htm", "x\n");
        fx.Scan();
        fx.CheckNames(TFS_ISO9660);
        CFileNode* node = fx.Node("x y.htm");
        struct Case {
            std::function<void(CRenameDlg&)> press;
            int result;
        };
        const Case cases[] = {
            {[](CRenameDlg& d) { d.AcceptButton()->click(); }, RENAME_ACCEPT},
            {[](CRenameDlg& d) { QTest::keyClick(d.NameEdit(), Qt::Key_Return); }, RENAME_ACCEPT},
            {[](CRenameDlg& d) { d.AcceptAllButton()->click(); }, RENAME_ACCEPT_ALL},
            {[](CRenameDlg& d) { d.NoRenameButton()->click(); }, RENAME_NO_RENAME},
            {[](CRenameDlg& d) { d.CancelButton()->click(); }, RENAME_CANCEL},
            {[](CRenameDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, RENAME_CANCEL},
        };
        for (const Case& c : cases) {
            CRenameDlg dlg(node, TFS_ISO9660, true);
            QTimer::singleShot(0, &dlg, [&dlg, &c] { c.press(dlg); });
            QCOMPARE(dlg.exec(), c.result);
        }
        QCOMPARE(node->m_strNewName, std::string("XY.HTM"));
    }

    void iso9660BoxTakesOnlyAnEightDotThreeName() {
        CBox box(TFS_ISO9660);
        QCOMPARE(box.Type("-"), QString());
        QCOMPARE(box.refusals.size(), 1);
        QCOMPARE(box.refusals.at(0).at(0).toInt(), int(KEY_INVALID_CHAR));
        QCOMPARE(box.Type("abcdefghi"), QStringLiteral("ABCDEFGH"));
        QCOMPARE(box.refusals.size(), 2);
        QCOMPARE(box.refusals.at(1).at(0).toInt(), int(KEY_BASE_TOO_LONG));
        QCOMPARE(box.Type(".txtx"), QStringLiteral("ABCDEFGH.TXT"));
        QCOMPARE(box.refusals.size(), 3);
        QCOMPARE(box.refusals.at(2).at(0).toInt(), int(KEY_EXT_TOO_LONG));
        // Deleting the dot would join more than 8 characters: refused, with either key.
        box.edit.setCursorPosition(9);
        QTest::keyClick(&box.edit, Qt::Key_Backspace);
        QCOMPARE(box.edit.text(), QStringLiteral("ABCDEFGH.TXT"));
        box.edit.setCursorPosition(8);
        QTest::keyClick(&box.edit, Qt::Key_Delete);
        QCOMPARE(box.edit.text(), QStringLiteral("ABCDEFGH.TXT"));
        QCOMPARE(box.refusals.size(), 5);
        // Other deletions go through.
        box.edit.setCursorPosition(12);
        QTest::keyClick(&box.edit, Qt::Key_Backspace);
        QCOMPARE(box.edit.text(), QStringLiteral("ABCDEFGH.TX"));
        QCOMPARE(box.refusals.size(), 5);
    }

    void dosBoxTakesOneDotAndItsOwnCharacters() {
        CBox box(TFS_DOS_FAT);
        QCOMPARE(box.Type("a~b.c.d"), QStringLiteral("A~B.CD"));
        QCOMPARE(box.refusals.size(), 1);
        QCOMPARE(box.refusals.at(0).at(0).toInt(), int(KEY_SECOND_DOT));
        box.edit.clear();
        QCOMPARE(box.Type("x+y=z"), QStringLiteral("XYZ"));
        QCOMPARE(box.refusals.size(), 3);
    }

    void otherTargetsKeepCaseUpToTheLimit() {
        CBox mac(TFS_MACINTOSH, 6);
        QCOMPARE(mac.Type("Ab:c.d/ef"), QStringLiteral("Abc.de"));
        QCOMPARE(mac.refusals.size(), 3);  // ":", "/" and "f" at the limit
        // At the limit Backspace still works.
        QTest::keyClick(&mac.edit, Qt::Key_Backspace);
        QCOMPARE(mac.edit.text(), QStringLiteral("Abc.d"));
        CBox lower(TFS_LOWER);
        QCOMPARE(lower.Type("MiXeD.HTML"), QStringLiteral("mixed.html"));
        QVERIFY(lower.refusals.isEmpty());
    }

    void pastedTextIsTypedThroughTheRules() {
        CBox box(TFS_ISO9660);
        QApplication::clipboard()->setText(QStringLiteral("my page#1.html"));
        QTest::keyClick(&box.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.edit.text(), QStringLiteral("MYPAGE1.HTM"));
        QCOMPARE(box.refusals.size(), 1);
        // Pasting over a selection replaces it; a line break is never part of a name.
        box.edit.setSelection(0, 6);
        QApplication::clipboard()->setText(QStringLiteral("home\n"));
        QTest::keyClick(&box.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.edit.text(), QStringLiteral("HOME1.HTM"));
        QCOMPARE(box.refusals.size(), 2);
        // Shift+Insert is a paste too.
        box.edit.setCursorPosition(5);
        QApplication::clipboard()->setText(QStringLiteral("23456"));
        QTest::keyClick(&box.edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(box.edit.text(), QStringLiteral("HOME1234.HTM"));
        QCOMPARE(box.refusals.size(), 3);
        // Cutting the dot out of a long name is refused like deleting it.
        box.edit.setSelection(7, 2);
        QTest::keyClick(&box.edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box.edit.text(), QStringLiteral("HOME1234.HTM"));
        QCOMPARE(box.refusals.size(), 4);
        // The box's context menu pastes through the rules as well.
        box.edit.setSelection(0, 8);
        QApplication::clipboard()->setText(QStringLiteral("a:b"));
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(4, 4),
                                    box.edit.mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(&box.edit, &menuEvent);
        QMenu* menu = box.edit.findChild<QMenu*>();
        QVERIFY(menu);
        QAction* paste = nullptr;
        for (QAction* action : menu->actions())
            if (action->text().startsWith(QStringLiteral("&Paste"))) paste = action;
        QVERIFY(paste && paste->isEnabled());
        paste->trigger();
        menu->close();
        QCOMPARE(box.edit.text(), QStringLiteral("AB.HTM"));
        QCOMPARE(box.refusals.size(), 5);
    }
};

QTEST_MAIN(TestRenameDlg)
#include "RenameDlgTest.moc"
