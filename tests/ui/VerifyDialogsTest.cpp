// The verification lists and the Read-only File question: the rows they show, their check
// boxes, what OK writes to the status report, their results and codes, and resizing.
#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "base/RunUi.h"
#include "base/Strings.h"
#include "site/LineEndVerify.h"
#include "site/LineEnds.h"
#include "site/SiteFixture.h"
#include "site/VerifyLists.h"
#include "ui/FileEdit.h"
#include "ui/QtRunUi.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/RenameDlg.h"
#include "ui/VerAsciiDlg.h"
#include "ui/VerDlg.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// The rows of a list as "check column 0 | column 1".
QStringList Rows(CListCtrlEx* list) {
    QStringList rows;
    for (int r = 0; r < list->ItemCount(); ++r)
        rows << QStringLiteral("%1 %2|%3")
                    .arg(list->GetCheck(r) ? "[x]" : "[ ]", list->ItemText(r, 0),
                         list->ItemText(r, 1));
    return rows;
}

void ClickBox(CListCtrlEx* list, int row) {
    QTest::mouseClick(list->View()->viewport(), Qt::LeftButton, {},
                      list->CheckBoxRect(row).center());
}

void ClickLabel(CListCtrlEx* list, int row) {
    QRect r = list->View()->visualRect(list->View()->model()->index(row, 0));
    QTest::mouseClick(list->View()->viewport(), Qt::LeftButton, {},
                      QPoint(r.left() + 40, r.center().y()));
}

std::string NotRenamedLine(const std::string& newName, const std::string& path) {
    std::string name = newName;
    name.resize(std::max<size_t>(36, name.size()), ' ');
    return name + "    " + path + "\n";
}

const std::string kSeparator(80, '-');

// The lists shown the way a run shows them: the engine builds the rows, the desktop front end
// shows them, act plays the user in the dialog, and the engine applies the choices.
bool ShowVerifyFilenames(CSiteFixture& fx, const std::function<void(CVerDlg&)>& act) {
    CQtRunUi ui;
    CModalHand hand([&act](QWidget* w) {
        if (auto* dlg = qobject_cast<CVerDlg*>(w)) act(*dlg);
    });
    return VerifyFilenames(fx.ctx, ui, *fx.top, TFS_WIN95_VFAT);
}

VerifyAsciiResult ShowVerifyLineEnds(CSiteFixture& fx,
                                     const std::function<void(CVerAsciiDlg&)>& act) {
    CQtRunUi ui;
    CModalHand hand([&act](QWidget* w) {
        if (auto* dlg = qobject_cast<CVerAsciiDlg*>(w)) act(*dlg);
    });
    return VerifyLineEnds(fx.ctx, ui, *fx.top);
}

// Windows 95 names keep their case, so only the forbidden characters make renames.
struct CNestedSite : CSiteFixture {
    CNestedSite() {
        site.Write("top?.txt", "top\n");
        site.Write("fine.txt", "fine\n");
        site.Write("sub/in*.txt", "in\n");
        site.Write("sub/deeper/x|y.txt", "xy\n");
        Scan();
        CheckNames(TFS_WIN95_VFAT);
    }
};

}  // namespace

class TestVerifyDialogs : public QObject {
    Q_OBJECT
private slots:
    void verifyFilenamesListsRenamesByDirectory() {
        CNestedSite fx;
        CVerifyNameList names(*fx.top, TFS_WIN95_VFAT);
        CVerDlg dlg(names, true);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Tessary: Verify Filenames"));
        QCOMPARE(dlg.DirectoryField()->text().toStdString(), fx.site.Path());
        CListCtrlEx* list = dlg.List();
        // In the tree's order: a directory's entries by name, whatever their case.
        QCOMPARE(Rows(list), (QStringList{
                                 "[x]       xy.txt|/sub/deeper/x|y.txt",
                                 "[x]    in.txt|/sub/in*.txt",
                                 "[x] top.txt|/top?.txt",
                             }));
        auto* tree = qobject_cast<QTreeView*>(list->View());
        QVERIFY(tree);
        QCOMPARE(tree->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Suggested Filename"));
        QCOMPARE(tree->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Original Filename"));
        const int listW = list->width();
        QCOMPARE(tree->columnWidth(0), listW / 3);
        QCOMPARE(tree->columnWidth(1), listW * 5);
        QCOMPARE(tree->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(tree->selectionMode(), QAbstractItemView::SingleSelection);
    }

    void aClickOnABoxTogglesItAndKeepsTheSelection() {
        CNestedSite fx;
        CVerifyNameList names(*fx.top, TFS_WIN95_VFAT);
        CVerDlg dlg(names, true);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CListCtrlEx* list = dlg.List();
        list->SelectRow(0);
        ClickBox(list, 2);
        QVERIFY(!list->GetCheck(2));
        QCOMPARE(list->SelectedRow(), 0);
        ClickBox(list, 2);
        QVERIFY(list->GetCheck(2));
        // In full-row mode the strip before the box counts too.
        QTest::mouseClick(list->View()->viewport(), Qt::LeftButton, {},
                          QPoint(1, list->CheckBoxRect(1).center().y()));
        QVERIFY(!list->GetCheck(1));
        QCOMPARE(list->SelectedRow(), 0);
        // A click on the text selects and leaves the box alone.
        ClickLabel(list, 2);
        QCOMPARE(list->SelectedRow(), 2);
        QVERIFY(list->GetCheck(2));
        // Space toggles the current row's box.
        QTest::keyClick(list->View(), Qt::Key_Space);
        QVERIFY(!list->GetCheck(2));
        QCOMPARE(list->SelectedRow(), 2);
    }

    void editingANameKeepsTheRowsIndentation() {
        CNestedSite fx;
        CVerifyNameList names(*fx.top, TFS_WIN95_VFAT);
        CVerDlg dlg(names, true);
        CListCtrlEx* list = dlg.List();
        QStringList prompts;
        CModalHand hand([&prompts](QWidget* w) {
            auto* prompt = qobject_cast<CRenameDlg*>(w);
            if (!prompt) return;
            prompts << QStringLiteral("%1: %2 %3 %4")
                           .arg(prompt->windowTitle(), prompt->NameEdit()->text())
                           .arg(prompt->AcceptAllButton()->isVisible())
                           .arg(prompt->NoRenameButton()->isVisible());
            prompt->NameEdit()->setText(QStringLiteral("renamed.txt"));
            prompt->AcceptButton()->click();
        });
        // Nothing selected: nothing to edit.
        list->View()->clearSelection();
        dlg.EditButton()->click();
        QVERIFY(prompts.isEmpty());
        // The editing form: no "Accept All", no "No Rename".
        list->SelectRow(0);
        dlg.EditButton()->click();
        QCOMPARE(prompts, QStringList{"Tessary: Rename File: xy.txt 0 0"});
        QCOMPARE(list->ItemText(0, 0), QStringLiteral("      renamed.txt"));
        QCOMPARE(list->ItemText(0, 1), QStringLiteral("/sub/deeper/x|y.txt"));
        QCOMPARE(fx.NewName("sub/deeper/x|y.txt"), std::string("renamed.txt"));
    }

    void okListsUncheckedRowsOnceAndKeepsTheirNames() {
        CNestedSite fx;
        ShowVerifyFilenames(fx, [](CVerDlg& dlg) {
            dlg.List()->SetCheck(0, false);
            dlg.List()->SetCheck(2, false);
            dlg.OkButton()->click();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        });
        const std::string heading =
            kSeparator + "\n" + LoadString(IDS_NOT_RENAMED_HEADING) + "\n" + kSeparator + "\n";
        std::string expected = heading + NotRenamedLine("xy.txt", fx.site / "sub/deeper/x|y.txt") +
                               NotRenamedLine("top.txt", fx.site / "top?.txt") + "\n\n\n";
        QCOMPARE(fx.Status(), expected);
        QCOMPARE(fx.NewName("top?.txt"), std::string());
        QCOMPARE(fx.NewName("sub/in*.txt"), std::string("in.txt"));
        QCOMPARE(fx.NewName("sub/deeper/x|y.txt"), std::string());

        // Later in the same run the heading is not written again; with every row checked only
        // the section gap follows.
        ShowVerifyFilenames(fx, [](CVerDlg& dlg) {
            QCOMPARE(dlg.List()->ItemCount(), 1);
            dlg.OkButton()->click();
        });
        expected += "\n\n\n";
        QCOMPARE(fx.Status(), expected);

        // Another run has a heading of its own; a run with nothing unchecked writes nothing.
        CNestedSite other;
        ShowVerifyFilenames(other, [](CVerDlg& dlg) { dlg.OkButton()->click(); });
        QCOMPARE(other.Status(), std::string());
        ShowVerifyFilenames(other, [](CVerDlg& dlg) {
            dlg.List()->SetCheck(1, false);
            dlg.OkButton()->click();
        });
        QCOMPARE(other.Status(),
                 heading + NotRenamedLine("in.txt", other.site / "sub/in*.txt") + "\n\n\n");
    }

    void cancelChangesNothing() {
        CNestedSite fx;
        int result = -1;
        ShowVerifyFilenames(fx, [&result](CVerDlg& dlg) {
            dlg.List()->SetCheck(2, false);
            QTest::keyClick(&dlg, Qt::Key_Escape);
            result = dlg.result();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(fx.NewName("top?.txt"), std::string("top.txt"));
        QCOMPARE(fx.Status(), std::string());
    }

    void theListTakesTheRoomWhenResized() {
        CNestedSite fx;
        CVerifyNameList names(*fx.top, TFS_WIN95_VFAT);
        CVerDlg dlg(names, true);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint listPos = dlg.List()->pos();
        const int okY = dlg.OkButton()->y(), cancelY = dlg.CancelButton()->y(),
                  editY = dlg.EditButton()->y();
        for (QSize size : {QSize(900, 640), QSize(dlg.minimumWidth(), dlg.minimumHeight())}) {
            dlg.resize(size);
            QTRY_COMPARE(dlg.size(), size);
            QCOMPARE(dlg.List()->pos(), listPos);
            QCOMPARE(dlg.List()->size(),
                     QSize(size.width() - 105, size.height() - dlg.VerticalReserve()));
            for (QPushButton* b : {dlg.OkButton(), dlg.CancelButton(), dlg.EditButton()})
                QCOMPARE(b->geometry().right() + 1, size.width() - 10);
            QCOMPARE(dlg.OkButton()->y(), okY);
            QCOMPARE(dlg.CancelButton()->y(), cancelY);
            QCOMPARE(dlg.EditButton()->y(), editY);
            // Nothing overlaps the list.
            QVERIFY(!dlg.OkButton()->geometry().intersects(dlg.List()->geometry()));
        }
    }

    void verifyLineEndsWithdrawsUncheckedFiles() {
        CSiteFixture fx;
        fx.site.Write("a.txt", "a\r\n");
        fx.site.Write("sub/b.txt", "b\r\n");
        fx.site.Write("c.txt", "c\n");
        fx.Scan();
        auto mark = [&fx] {
            return fx.top->ForEach(
                [](CFileNode& node, bool&) { return MarkLineEnd(node, LE_UNIX) ? 1 : 0; },
                "Searching for ASCII Files");
        };
        QCOMPARE(mark(), 2);
        {
            CVerAsciiDlg dlg(fx.top->m_strPath, LineEndRows(*fx.top));
            QCOMPARE(dlg.windowTitle(),
                     QStringLiteral("Tessary: Verify ASCII Line End Conversions"));
            QCOMPARE(Rows(dlg.List()), (QStringList{"[x] /a.txt|", "[x] /sub/b.txt|"}));
            // Cancel: the marks stay, nothing is written.
            QCOMPARE(ShowVerifyLineEnds(fx, [](CVerAsciiDlg& d) { d.CancelButton()->click(); }),
                     VERIFY_ASCII_CANCEL);
            QCOMPARE(fx.Status(), std::string());
            QVERIFY(fx.Node("a.txt")->m_bMarked);
        }
        {
            // Every row unchecked: all listed under the heading, and nothing left to convert.
            QCOMPARE(ShowVerifyLineEnds(fx,
                                        [](CVerAsciiDlg& dlg) {
                                            if (!QTest::qWaitForWindowExposed(&dlg)) return;
                                            ClickBox(dlg.List(), 0);
                                            ClickBox(dlg.List(), 1);
                                            QTest::keyClick(&dlg, Qt::Key_Return);
                                        }),
                     VERIFY_ASCII_NONE);
        }
        QCOMPARE(fx.Status(), kSeparator + "\n" + LoadString(IDS_NOT_UPDATED_HEADING) + "\n" +
                                  kSeparator + "\n" + (fx.site / "a.txt") + "\n" +
                                  (fx.site / "sub/b.txt") + "\n\n\n\n");
        QVERIFY(!fx.Node("a.txt")->m_bMarked);
        QVERIFY(!fx.Node("sub/b.txt")->m_bMarked);

        // One left checked: some to convert.
        QCOMPARE(mark(), 2);
        QCOMPARE(ShowVerifyLineEnds(fx,
                                    [](CVerAsciiDlg& dlg) {
                                        dlg.List()->SetCheck(1, false);
                                        dlg.OkButton()->click();
                                    }),
                 VERIFY_ASCII_SOME);
        QVERIFY(fx.Node("a.txt")->m_bMarked);
        QVERIFY(!fx.Node("sub/b.txt")->m_bMarked);
    }

    void readOnlyFileAnswersWithItsCodes() {
        const QString text = QStringLiteral("File: \"/srv/site/a-b.txt\"  is read-only.");
        struct Case {
            std::function<void(CReadOnlyDlg&)> press;
            int code;
        };
        const Case cases[] = {
            {[](CReadOnlyDlg& d) { d.YesButton()->click(); }, READONLY_YES},
            {[](CReadOnlyDlg& d) { d.YesToAllButton()->click(); }, READONLY_YES_TO_ALL},
            {[](CReadOnlyDlg& d) { d.NoButton()->click(); }, READONLY_NO},
            {[](CReadOnlyDlg& d) { d.NoToAllButton()->click(); }, READONLY_NO_TO_ALL},
            {[](CReadOnlyDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, READONLY_CLOSED},
            {[](CReadOnlyDlg& d) {
                 d.close();
                 if (d.isVisible()) d.done(-1);
             },
             READONLY_CLOSED},
            // Yes is the default button.
            {[](CReadOnlyDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, READONLY_YES},
            {[](CReadOnlyDlg& d) {
                 // A button's letter presses it (after the button is drawn pressed).
                 if (QTest::qWaitForWindowActive(&d))
                     QTest::keyClick(&d, Qt::Key_L, Qt::AltModifier);
                 if (!QTest::qWaitFor([&d] { return !d.isVisible(); }, 2000)) d.done(-1);
             },
             READONLY_NO_TO_ALL},
        };
        for (const Case& c : cases) {
            CReadOnlyDlg dlg;
            dlg.SetText(text);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Tessary: Read-only File"));
            QCOMPARE(dlg.Text(), text);
            QTimer::singleShot(0, &dlg, [&dlg, &c] { c.press(dlg); });
            QCOMPARE(dlg.exec(), c.code);
        }
    }
};

QTEST_MAIN(TestVerifyDialogs)
#include "VerifyDialogsTest.moc"
