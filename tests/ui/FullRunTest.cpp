// A whole run of the desktop program on a copy of the sample site, through the real windows:
// the wizard, the Rename File prompts, Verify Filenames with an edited and an unchecked row,
// Verify ASCII Line End Conversions, the report in the view, and Undo Last. Once with the
// keyboard alone, once with the mouse.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"
#include "ui/FileEdit.h"
#include "ui/MainFrame.h"
#include "ui/RenameDlg.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"
#include "ui/VerAsciiDlg.h"
#include "ui/VerDlg.h"
#include "ui/WizardPages.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// The user at the computer: answers whatever window is up, one step at a time, with the
// keyboard or with the mouse. The run: DOS names, UNIX line ends, no link checks, renaming
// after a prompt for each name; the first name is typed (or accepted), the second prompt
// accepts all; in Verify Filenames the first row is unchecked and the logo's name edited.
class CUser {
public:
    explicit CUser(bool keyboard) : m_bKeyboard(keyboard) {}

    // Called by the hand's timer. The step runs from an event of its own: a step that opens
    // a window runs that window's loop, and the hand's timer must go on firing in there.
    void Act(QWidget* w) {
        if (m_bPending) return;
        m_bPending = true;
        QTimer::singleShot(0, [this, window = QPointer<QWidget>(w)] {
            m_bPending = false;
            if (window && window->isVisible() && window == QApplication::activeModalWidget())
                Step(window);
        });
    }

    QStringList boxes, unexpected, prompts;
    std::string firstPromptPath;
    int refusals = 0;

private:
    void Step(QWidget* w) {
        if (w != m_pLast) {
            m_pLast = w;
            m_bActed = false;
        }
        // Keys go to the window the user looks at.
        if (m_bKeyboard && !w->isActiveWindow()) {
            w->activateWindow();
            return;
        }
        if (auto* sheet = qobject_cast<CWizardSheet*>(w))
            Wizard(sheet);
        else if (auto* prompt = qobject_cast<CRenameDlg*>(w))
            Prompt(prompt);
        else if (auto* verify = qobject_cast<CVerDlg*>(w))
            Verify(verify);
        else if (auto* ascii = qobject_cast<CVerAsciiDlg*>(w))
            Press(ascii->OkButton());
        else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            boxes << box->text();
            Press(qobject_cast<QPushButton*>(box->button(QMessageBox::Ok)));
        } else {
            unexpected << w->windowTitle();
            if (auto* dlg = qobject_cast<QDialog*>(w)) dlg->reject();
        }
    }

    void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = w->focusWidget() ? w->focusWidget() : w;
        QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
    }
    // The default button with Enter, or a click.
    void Press(QPushButton* button) {
        if (m_bKeyboard) {
            if (!button->isDefault()) button->setFocus(Qt::TabFocusReason);
            Key(button->window(), Qt::Key_Return);
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    void Choose(QComboBox* list, int row) {
        if (m_bKeyboard) {
            Key(list->window(), list->currentIndex() < row ? Qt::Key_Down : Qt::Key_Up);
        } else if (!list->view()->isVisible()) {
            QTest::mouseClick(list, Qt::LeftButton);
        } else {
            QAbstractItemView* view = list->view();
            QRect item = view->visualRect(view->model()->index(row, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        }
    }
    void Check(QRadioButton* radio) {
        if (m_bKeyboard)
            Key(radio->window(), Qt::Key_Down);
        else
            QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
    }

    void Wizard(CWizardSheet* sheet) {
        CWizardPage* page = sheet->CurrentPage();
        switch (sheet->CurrentIndex()) {
            case PAGE_TARGET: {
                QComboBox* list = qobject_cast<CPage2*>(page)->TargetList();
                if (list->currentIndex() != TargetRowOf(TFS_DOS_FAT))
                    return Choose(list, TargetRowOf(TFS_DOS_FAT));
                break;
            }
            case PAGE_LINE_ENDS: {
                QComboBox* list = qobject_cast<CPage3*>(page)->LineEndList();
                if (list->currentIndex() != LineEndRowOf(LE_UNIX))
                    return Choose(list, LineEndRowOf(LE_UNIX));
                break;
            }
            case PAGE_CHECK_URLS: {
                QRadioButton* no = qobject_cast<CChoicePage*>(page)->Radio(0, 1);
                if (!no->isChecked()) return Check(no);
                break;
            }
            case PAGE_RENAME: {
                QRadioButton* rename = qobject_cast<CChoicePage*>(page)->Radio(0, 1);
                if (!rename->isChecked()) return Check(rename);
                break;
            }
            default:
                break;
        }
        Press(sheet->CurrentIndex() == PAGE_SUMMARY ? sheet->FinishButton() : sheet->NextButton());
    }

    void Prompt(CRenameDlg* prompt) {
        if (m_bActed) return;
        CFileEdit* edit = prompt->NameEdit();
        const bool inPass = !prompt->AcceptAllButton()->isHidden();
        if (!inPass) {
            // Editing the logo's name from the list.
            if (m_bKeyboard && edit->text() != QStringLiteral("LOGO2.PNG")) {
                QObject::connect(edit, &CFileEdit::refused, [this] { ++refusals; });
                QTest::keyClicks(edit, QStringLiteral("logo2.png"));
                return;
            }
            m_bActed = true;
            m_bEditDone = true;
            Press(prompt->AcceptButton());
            return;
        }
        if (prompts.isEmpty()) {
            prompts << prompt->OriginalField()->text();
            firstPromptPath = prompt->DirectoryField()->text().toStdString() + "/" +
                              prompt->OriginalField()->text().toStdString();
            if (m_bKeyboard) {
                // The suggestion is selected: typing replaces it; "+" is no DOS character.
                QObject::connect(edit, &CFileEdit::refused, [this] { ++refusals; });
                QTest::keyClicks(edit, QStringLiteral("a+b"));
            }
            return;
        }
        if (prompts.size() == 1 && prompt->OriginalField()->text() == prompts.first()) {
            m_bActed = true;
            Press(prompt->AcceptButton());
            return;
        }
        prompts << prompt->OriginalField()->text();
        m_bActed = true;
        if (m_bKeyboard)
            Key(prompt, Qt::Key_L, Qt::AltModifier);
        else
            QTest::mouseClick(prompt->AcceptAllButton(), Qt::LeftButton);
    }

    void Verify(CVerDlg* dlg) {
        CListCtrlEx* list = dlg->List();
        if (!m_bUnchecked) {
            m_bUnchecked = true;
            if (m_bKeyboard) {
                Key(dlg, Qt::Key_Space);
            } else {
                QTest::mouseClick(list->View()->viewport(), Qt::LeftButton, {},
                                  list->CheckBoxRect(0).center());
            }
            return;
        }
        int row = list->SelectedRow();
        if (list->ItemText(row, 1) != QStringLiteral("/images/logo.png")) {
            if (m_bKeyboard) return Key(dlg, Qt::Key_Down);
            for (int r = 0; r < list->ItemCount(); ++r) {
                if (list->ItemText(r, 1) != QStringLiteral("/images/logo.png")) continue;
                // On the original name (the column runs far beyond the list's right edge).
                QRect rect = list->View()->visualRect(list->View()->model()->index(r, 1));
                QTest::mouseClick(list->View()->viewport(), Qt::LeftButton, {},
                                  QPoint(rect.left() + 20, rect.center().y()));
            }
            return;
        }
        if (!m_bEdited) {
            m_bEdited = true;
            if (m_bKeyboard)
                Key(dlg, Qt::Key_E, Qt::AltModifier);
            else
                QTest::mouseClick(dlg->EditButton(), Qt::LeftButton);
            return;
        }
        // OK once the edited name is back in the list.
        if (m_bActed || !m_bEditDone) return;
        m_bActed = true;
        Press(dlg->OkButton());
    }

    bool m_bKeyboard;
    bool m_bPending = false;
    QPointer<QWidget> m_pLast;
    bool m_bActed = false;
    bool m_bUnchecked = false;
    bool m_bEdited = false;
    bool m_bEditDone = false;
};

bool HasCr(const std::string& path) {
    return ReadFile(path).find('\r') != std::string::npos;
}

}  // namespace

class TestFullRun : public QObject {
    Q_OBJECT
private slots:
    void wizardToUndo_data() {
        QTest::addColumn<bool>("keyboard");
        QTest::newRow("keyboard alone") << true;
        QTest::newRow("mouse") << false;
    }

    void wizardToUndo() {
        QFETCH(bool, keyboard);
        CUiTestEnv env;
        CTempDir tmp;
        const std::string site = CopySampleSite(tmp);
        const std::string before = TreeListing(site, true);
        env.WriteProfile("[Settings]\nDirectory=" + site + "\n");

        CUser user(keyboard);
        CModalHand hand([&user](QWidget* w) { user.Act(w); });
        CTessaryApp app(RealFileSystem());
        QVERIFY(app.InitInstance({QStringLiteral("tessary")}));
        QVERIFY2(user.unexpected.isEmpty(), qPrintable(user.unexpected.join("\n")));

        // The settings chosen in the wizard were used and kept.
        const RunSettings& s = app.Settings();
        QCOMPARE(s.Target, int(TFS_DOS_FAT));
        QCOMPARE(s.LineEnd, int(LE_UNIX));
        QVERIFY(s.Rename && s.FilesOnly && !s.AutoFileName);
        QCOMPARE(s.Directory, site);
        // The hidden file was announced during the scan.
        QCOMPARE(user.boxes.size(), 1);
        QVERIFY(user.boxes.first().contains(".htaccess"));

        // Two prompts: the first name, then Accept All.
        QCOMPARE(user.prompts.size(), 2);
        QCOMPARE(user.refusals, keyboard ? 1 : 0);
        const std::string firstName = keyboard ? "AB" : "IMAGES";
        QCOMPARE(user.firstPromptPath, site + "/images");

        // The tree: the unchecked directory kept its name, the edited logo got the typed name
        // (the suggestion with the mouse), the rest their suggestions; line ends are UNIX.
        QVERIFY(Exists(site + "/images"));
        QVERIFY(Exists(site + (keyboard ? "/images/LOGO2.PNG" : "/images/LOGO.PNG")));
        QVERIFY(Exists(site + "/images/PHOTO.JPG"));
        QVERIFY(Exists(site + "/INDEX.HTM"));
        QVERIFY(Exists(site + "/MYPAGE.HTM"));
        QVERIFY(Exists(site + "/OURWORK/GALLERY.HTM"));
        QVERIFY(!Exists(site + "/index.html"));
        QVERIFY(!HasCr(site + "/NOTES.TXT"));
        QVERIFY(!HasCr(site + "/OURWORK/GALLERY.HTM"));
        QVERIFY(Exists(site + "/.htaccess"));

        // The report in the view.
        QString report = app.Frame()->View()->toPlainText();
        QVERIFY2(report.startsWith(QString::fromUtf8(LoadString(IDS_TITLE_SUCCESS))),
                 qPrintable(report.left(200)));
        std::string notRenamed = firstName;
        notRenamed.resize(36, ' ');
        notRenamed += "    " + site + "/images";
        QVERIFY(report.contains(QString::fromUtf8(LoadString(IDS_NOT_RENAMED_HEADING))));
        QVERIFY(report.contains(QString::fromStdString(notRenamed)));
        QVERIFY(report.contains(QStringLiteral("RENAMED FILES:")));
        QVERIFY(report.contains(QStringLiteral("FILES WITH CHANGED LINE ENDINGS:")));
        QVERIFY(app.Frame()->isVisible());

        // Undo Last, with the keyboard or through the File menu.
        CMainFrame* frame = app.Frame();
        QVERIFY(frame->UndoLastAction()->isEnabled());
        if (keyboard) {
            frame->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(frame));
            QTest::keyClick(frame, Qt::Key_U, Qt::ControlModifier);
        } else {
            QMenuBar* bar = frame->menuBar();
            QMenu* file = frame->FileMenu();
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(file->menuAction()).center());
            QTRY_VERIFY(file->isVisible());
            QTest::mouseClick(file, Qt::LeftButton, {},
                              file->actionGeometry(frame->UndoLastAction()).center());
        }
        QVERIFY2(user.unexpected.isEmpty(), qPrintable(user.unexpected.join("\n")));
        // Every name and every line end as they were.
        QCOMPARE(TreeListing(site, true), before);
        QVERIFY(!frame->UndoLastAction()->isEnabled());
        app.Doc().m_bModified = false;
    }
};

QTEST_MAIN(TestFullRun)
#include "FullRunTest.moc"
