// The setup wizard: where Next and Back go for each combination of choices, the Check URLs page
// following the target, the checks of the Directory and Home Page pages, the summary, and
// Finish as the only way to hand settings back.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "base/Strings.h"
#include "support/FaultyFileSystem.h"
#include "ui/BigButton.h"
#include "ui/WizardPages.h"
#include "ui/support/UiTestSupport.h"

using namespace ts;
using namespace ts::test;

namespace {

// A directory that reports itself read-only (the test runs as root, which no mode bit stops).
class CReadOnlyDirFs : public CFaultyFileSystem {
public:
    std::string readOnlyDir;
    CResult Stat(const std::string& path, FileStat& st) override {
        CResult ok = CFaultyFileSystem::Stat(path, st);
        if (ok && path == readOnlyDir) st.readOnly = true;
        return ok;
    }
};

// A wizard on screen (not modal) on the given settings.
class CShownWizard {
public:
    CShownWizard(CFileSystem& fs, const RunSettings& s, int page = PAGE_INTRO) : sheet(fs) {
        LoadPages(sheet.Values(), s);
        sheet.show();
        sheet.SetActivePage(page);
    }
    int Next() {
        QTest::mouseClick(sheet.NextButton(), Qt::LeftButton);
        return sheet.CurrentIndex();
    }
    int Back() {
        QTest::mouseClick(sheet.BackButton(), Qt::LeftButton);
        return sheet.CurrentIndex();
    }
    // The pages Next passes through up to the summary, then those Back passes through to the
    // first page.
    QList<int> Forward() {
        QList<int> seen{sheet.CurrentIndex()};
        while (sheet.CurrentIndex() != PAGE_SUMMARY && seen.size() < 20) {
            int before = sheet.CurrentIndex();
            if (Next() == before) break;
            seen << sheet.CurrentIndex();
        }
        return seen;
    }
    QList<int> Backward() {
        QList<int> seen{sheet.CurrentIndex()};
        while (sheet.CurrentIndex() != PAGE_INTRO && seen.size() < 20)
            seen << Back();
        return seen;
    }
    template <class T>
    T* Page(int index) {
        return qobject_cast<T*>(sheet.Page(index));
    }
    RunSettings Choices() const { return sheet.CurrentChoices(); }
    CWizardSheet sheet;
};

// A small site: a home page and a text file.
struct CSite {
    CSite() {
        dir.Write("index.html", "<html><body>Home</body></html>\n");
        dir.Write("notes.txt", "notes\n");
    }
    RunSettings Settings() const {
        RunSettings s;
        s.Directory = dir.Path();
        s.HomePage = dir / "index.html";
        return s;
    }
    CTempDir dir;
};

QString Msg(int id, const std::string& a1 = {}, const std::string& a2 = {}) {
    return QStringLiteral("QMessageBox: Tessary: ") +
           QString::fromStdString(FormatMessage(id, a1, a2));
}

// What a refusal adds when the system named the cause.
const QString kNoSuchFile = QStringLiteral("\n(No such file or directory)");

// Clicks OK in every message box.
CModalHand::Handler PressOk() {
    return [](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
    };
}

}  // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    void everyPageHasItsCaptionPictureAndButtons() {
        CSite site;
        CShownWizard w(RealFileSystem(), site.Settings());
        QCOMPARE(w.sheet.PageCount(), 11);
        const int titles[] = {IDS_TITLE_TARGET,    IDS_TITLE_LINE_ENDS, IDS_TITLE_CHECK_URLS,
                              IDS_TITLE_RENAME,    IDS_TITLE_PROMPT,    IDS_TITLE_READ_ONLY,
                              IDS_TITLE_DIRECTORY, IDS_TITLE_HOME_PAGE, IDS_TITLE_REPORT_LINKS,
                              IDS_TITLE_SUMMARY};
        for (int i = 0; i < w.sheet.PageCount(); ++i) {
            w.sheet.SetActivePage(i);
            CWizardPage* page = w.sheet.CurrentPage();
            if (i > 0) QCOMPARE(page->Title(), QString::fromUtf8(LoadString(titles[i - 1])));
            QCOMPARE(w.sheet.windowTitle(), QStringLiteral("Tessary: ") + page->Title());
            QCOMPARE(page->Caption(), w.sheet.windowTitle());
            // The framed picture at the upper left, the same size on every page.
            QCOMPARE(page->Picture()->Picture().size(), QSize(100, 150));
            QCOMPARE(page->Picture()->pos(), QPoint(0, 0));
            QCOMPARE(page->size(), w.sheet.Page(0)->size());
            QCOMPARE(w.sheet.BackButton()->isEnabled(), i > 0);
            QCOMPARE(w.sheet.NextButton()->isVisible(), i < PAGE_SUMMARY);
            QCOMPARE(w.sheet.FinishButton()->isVisible(), i == PAGE_SUMMARY);
        }
        // "%1" is the application's name, and "<CR><LF>" is text, not markup.
        w.sheet.SetActivePage(PAGE_INTRO);
        QList<QLabel*> labels = w.sheet.Page(PAGE_INTRO)->findChildren<QLabel*>();
        QVERIFY(labels.first()->text().startsWith("Tessary helps you rename files"));
        w.sheet.SetActivePage(PAGE_LINE_ENDS);
        QCOMPARE(w.Page<CPage3>(PAGE_LINE_ENDS)->LineEndList()->itemText(1),
                 QStringLiteral("DOS/Windows <CR><LF>"));
        for (QLabel* label : w.sheet.Page(PAGE_LINE_ENDS)->findChildren<QLabel*>())
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    void nextAndBackSkipPagesByTheChoices() {
        CSite site;
        struct Case {
            const char* what;
            int target, lineEnd, renameHtml;
            bool filesOnly;
            QList<int> forward, backward;
        };
        const Case cases[] = {
            {"line ends only: the read-only page, no renaming pages",
             0,
             LE_DOS,
             0,
             true,
             {0, 1, 2, 3, 6, 7, 10},
             {10, 7, 6, 3, 2, 1, 0}},
            {"links only: straight to Directory and back",
             0,
             LE_NONE,
             0,
             false,
             {0, 1, 2, 3, 7, 8, 9, 10},
             {10, 9, 8, 7, 3, 2, 1, 0}},
            {"names without links: Home Page and Report Links skipped",
             TFS_DOS_FAT,
             LE_NONE,
             0,
             true,
             {0, 1, 2, 3, 4, 5, 6, 7, 10},
             {10, 7, 6, 5, 4, 3, 2, 1, 0}},
            {"names and links: every page",
             TFS_UNIX,
             LE_NONE,
             0,
             false,
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
             {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
            {"Web extensions alone are renaming",
             0,
             LE_NONE,
             WEB_EXT_UNIX,
             false,
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
             {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
        };
        for (const Case& c : cases) {
            RunSettings s = site.Settings();
            s.Target = c.target;
            s.LineEnd = c.lineEnd;
            s.RenameHtml = c.renameHtml;
            s.FilesOnly = c.filesOnly;
            CModalHand hand;
            CShownWizard w(RealFileSystem(), s);
            QCOMPARE(w.Forward(), c.forward);
            QCOMPARE(w.Backward(), c.backward);
            QVERIFY2(hand.seen.isEmpty(), c.what);
        }

        // Nothing to do at all: Check URLs says so and stays.
        RunSettings s = site.Settings();
        s.FilesOnly = true;
        CModalHand hand;
        CShownWizard w(RealFileSystem(), s, PAGE_CHECK_URLS);
        QCOMPARE(w.Next(), int(PAGE_CHECK_URLS));
        QCOMPARE(hand.seen, QStringList{Msg(IDS_NO_ACTIONS)});
        // Choosing to check links is an action.
        w.Page<CPage6>(PAGE_CHECK_URLS)->Radio(0, 0)->click();
        QCOMPARE(w.Next(), int(PAGE_DIRECTORY));
    }

    void checkUrlsFollowsTheTarget() {
        CSite site;
        struct Case {
            int target;
            bool checkUrls;
            int before, after;
            bool toWindows, toUnix;
        };
        const Case cases[] = {
            {TFS_MACINTOSH, true, WEB_EXT_KEEP, WEB_EXT_UNIX, false, true},
            {TFS_UNIX, false, WEB_EXT_WINDOWS, WEB_EXT_KEEP, false, true},
            {TFS_UNIX, false, WEB_EXT_KEEP, WEB_EXT_KEEP, false, true},
            {TFS_ISO9660, true, WEB_EXT_KEEP, WEB_EXT_KEEP, true, false},
            {TFS_ISO9660, true, WEB_EXT_UNIX, WEB_EXT_KEEP, true, false},
            {TFS_DOS_FAT, true, WEB_EXT_KEEP, WEB_EXT_WINDOWS, true, false},
            {TFS_WIN95_VFAT, false, WEB_EXT_UNIX, WEB_EXT_KEEP, true, false},
            {TFS_UPPER, true, WEB_EXT_UNIX, WEB_EXT_UNIX, true, true},
            {TFS_LOWER, false, WEB_EXT_WINDOWS, WEB_EXT_WINDOWS, true, true},
        };
        for (const Case& c : cases) {
            RunSettings s = site.Settings();
            s.Target = c.target;
            s.FilesOnly = !c.checkUrls;
            s.RenameHtml = c.before;
            CShownWizard w(RealFileSystem(), s, PAGE_CHECK_URLS);
            auto* page = w.Page<CPage6>(PAGE_CHECK_URLS);
            QVERIFY(page->Radio(1, c.after)->isChecked());
            QCOMPARE(page->Radio(1, WEB_EXT_WINDOWS)->isEnabled(), c.toWindows);
            QCOMPARE(page->Radio(1, WEB_EXT_UNIX)->isEnabled(), c.toUnix);
        }

        // Choosing "Yes" selects the conversion the target's servers need.
        RunSettings s = site.Settings();
        s.Target = TFS_WIN95_VFAT;
        s.FilesOnly = true;
        CShownWizard w(RealFileSystem(), s, PAGE_CHECK_URLS);
        auto* page = w.Page<CPage6>(PAGE_CHECK_URLS);
        QVERIFY(page->Radio(1, WEB_EXT_KEEP)->isChecked());
        // On the button's circle: a radio button takes clicks on its circle and label only.
        QTest::mouseClick(page->Radio(0, 0), Qt::LeftButton, {},
                          QPoint(6, page->Radio(0, 0)->height() / 2));
        QVERIFY(page->Radio(1, WEB_EXT_WINDOWS)->isChecked());
        // ... and going back to choose Macintosh and coming again follows the new target.
        w.Back();
        w.Back();
        w.Page<CPage2>(PAGE_TARGET)->TargetList()->setCurrentIndex(TargetRowOf(TFS_MACINTOSH));
        w.Next();
        w.Next();
        QVERIFY(page->Radio(1, WEB_EXT_UNIX)->isChecked());
        QVERIFY(!page->Radio(1, WEB_EXT_WINDOWS)->isEnabled());
        QVERIFY(page->Radio(1, WEB_EXT_UNIX)->isEnabled());
        QCOMPARE(w.Choices().RenameHtml, int(WEB_EXT_UNIX));
    }

    void directoryIsMadeAbsoluteAndChecked() {
        CTempDir tmp;
        tmp.Write("web/site/index.htm", "<html></html>\n");
        tmp.Write("web/empty/.keep", "");
        std::string emptyDir = tmp.Mkdir("web/nothing");
        tmp.Write("web/file.txt", "x\n");
        QString oldCwd = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(tmp.Path()));

        RunSettings s;
        s.Target = TFS_DOS_FAT;
        s.FilesOnly = true;
        CModalHand hand;
        CShownWizard w(RealFileSystem(), s, PAGE_DIRECTORY);
        auto* page = w.Page<CPageF>(PAGE_DIRECTORY);
        QLineEdit* edit = page->DirectoryEdit();
        struct Case {
            QString typed;
            QString shown;
            QString message;
        };
        const std::string site = tmp / "web/site";
        const Case cases[] = {
            {"", "", Msg(IDS_DIR_EMPTY_STRING)},
            {"web/missing", QString::fromStdString(tmp / "web/missing"),
             Msg(IDS_DIR_NOT_VALID, tmp / "web/missing") + kNoSuchFile},
            {"web/file.txt", QString::fromStdString(tmp / "web/file.txt"),
             Msg(IDS_NOT_A_DIRECTORY, tmp / "web/file.txt")},
            {QString::fromStdString(emptyDir + "/"), QString::fromStdString(emptyDir),
             Msg(IDS_DIR_IS_EMPTY, emptyDir)},
            // A hidden entry is an entry.
            {"./web/empty", QString::fromStdString(tmp / "web/empty"), QString()},
            // Relative, with a trailing separator: absolute, without it.
            {"web/site/", QString::fromStdString(site), QString()},
            {QString::fromStdString(site + "/../site//"), QString::fromStdString(site), QString()},
        };
        for (const Case& c : cases) {
            w.sheet.SetActivePage(PAGE_DIRECTORY);
            edit->setText(c.typed);
            hand.seen.clear();
            int page = w.Next();
            QCOMPARE(edit->text(), c.shown);
            if (c.message.isEmpty()) {
                QCOMPARE(page, int(PAGE_SUMMARY));
                QVERIFY2(hand.seen.isEmpty(), qPrintable(hand.seen.join("\n")));
                QCOMPARE(w.Choices().Directory, c.shown.toStdString());
            } else {
                QCOMPARE(page, int(PAGE_DIRECTORY));
                QCOMPARE(hand.seen, QStringList{c.message});
            }
        }
        // The box takes at most 260 characters.
        QCOMPARE(edit->maxLength(), 260);
        QDir::setCurrent(oldCwd);
    }

    void readOnlyDirectoryRefusesChangesOnly() {
        CSite site;
        CReadOnlyDirFs fs;
        fs.readOnlyDir = site.dir.Path();
        const std::string dirWord = LoadString(IDS_TITLE_DIRECTORY);
        struct Case {
            bool rename;
            int lineEnd;
            QString message;
        };
        const Case cases[] = {
            {true, LE_NONE, Msg(IDS_DIR_READ_ONLY_RENAME, dirWord, site.dir.Path())},
            {true, LE_UNIX, Msg(IDS_DIR_READ_ONLY_RENAME, dirWord, site.dir.Path())},
            {false, LE_UNIX, Msg(IDS_DIR_READ_ONLY_LINE_ENDS, dirWord, site.dir.Path())},
            // Validating names only writes nothing.
            {false, LE_NONE, QString()},
        };
        for (const Case& c : cases) {
            RunSettings s = site.Settings();
            s.Target = TFS_ISO9660;
            s.Rename = c.rename;
            s.LineEnd = c.lineEnd;
            s.FilesOnly = true;
            CModalHand hand;
            CShownWizard w(fs, s, PAGE_DIRECTORY);
            int page = w.Next();
            QCOMPARE(page, c.message.isEmpty() ? int(PAGE_SUMMARY) : int(PAGE_DIRECTORY));
            QCOMPARE(hand.seen, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        }

        // The volume refuses writes though the directory looks writable: OK goes on anyway,
        // Cancel stays to change the settings. A failure that is no refusal is not asked about.
        const std::string driveWord = LoadString(IDS_DRIVE);
        fs.readOnlyDir.clear();
        RunSettings s = site.Settings();
        s.Target = TFS_ISO9660;
        s.Rename = true;
        s.FilesOnly = true;
        const QString question = Msg(IDS_DIR_READ_ONLY_RENAME, driveWord, site.dir.Path()) +
                                 QString::fromUtf8(LoadString(IDS_CONTINUE_ANYWAY));
        {
            fs.FailFrom(Op::CanWrite, 1, "", EACCES);
            CModalHand hand;  // rejects: Cancel
            CShownWizard w(fs, s, PAGE_DIRECTORY);
            QCOMPARE(w.Next(), int(PAGE_DIRECTORY));
            QCOMPARE(hand.seen, QStringList{question});
        }
        {
            CModalHand hand(PressOk());
            CShownWizard w(fs, s, PAGE_DIRECTORY);
            QCOMPARE(w.Next(), int(PAGE_SUMMARY));
            QCOMPARE(hand.seen, QStringList{question});
        }
        {
            fs.FailFrom(Op::CanWrite, 1, "", EIO);
            CModalHand hand;
            CShownWizard w(fs, s, PAGE_DIRECTORY);
            QCOMPARE(w.Next(), int(PAGE_SUMMARY));
            QVERIFY(hand.seen.isEmpty());
        }
        // Nothing written, nothing asked.
        fs.FailFrom(Op::CanWrite, 1, "", EACCES);
        s.Rename = false;
        CModalHand hand;
        CShownWizard w(fs, s, PAGE_DIRECTORY);
        QCOMPARE(w.Next(), int(PAGE_SUMMARY));
        QVERIFY(hand.seen.isEmpty());
    }

    void homePageIsProposedAndWorkedOutAnewForAnotherDirectory() {
        CTempDir tmp;
        tmp.Write("both/index.htm", "<html>htm</html>\n");
        tmp.Write("both/index.html", "<html>html</html>\n");
        tmp.Write("long/index.html", "<html>long</html>\n");
        tmp.Write("long/index.htm", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
        tmp.Write("none/readme.txt", "no page\n");
        struct Case {
            const char* dir;
            int target;
            std::string home;
        };
        const Case cases[] = {
            {"both", TFS_DOS_FAT, tmp / "both/index.htm"},
            {"both", TFS_UNIX, tmp / "both/index.html"},
            {"both", TFS_MACINTOSH, tmp / "both/index.html"},
            {"both", TFS_UPPER, tmp / "both/index.htm"},
            // A binary index.htm is no home page.
            {"long", TFS_DOS_FAT, tmp / "long/index.html"},
            {"none", TFS_DOS_FAT, ""},
        };
        for (const Case& c : cases) {
            RunSettings s;
            s.Directory = tmp / c.dir;
            s.Target = c.target;
            CShownWizard w(RealFileSystem(), s, PAGE_HOME_PAGE);
            QCOMPARE(w.Page<CPage7>(PAGE_HOME_PAGE)->HomePageEdit()->text().toStdString(), c.home);
        }

        // A stored home page stays while the directory does; another directory empties it, and
        // the next visit proposes that directory's page.
        RunSettings s;
        s.Directory = tmp / "both";
        s.HomePage = tmp / "both/index.html";
        s.Target = TFS_DOS_FAT;
        CModalHand hand;
        CShownWizard w(RealFileSystem(), s, PAGE_DIRECTORY);
        auto* dirPage = w.Page<CPageF>(PAGE_DIRECTORY);
        auto* homePage = w.Page<CPage7>(PAGE_HOME_PAGE);
        QCOMPARE(dirPage->ShownDirectory(), tmp / "both");
        QCOMPARE(w.Next(), int(PAGE_HOME_PAGE));
        QCOMPARE(homePage->HomePageEdit()->text().toStdString(), tmp / "both/index.html");
        QCOMPARE(w.Back(), int(PAGE_DIRECTORY));
        dirPage->DirectoryEdit()->setText(QString::fromStdString(tmp / "long/"));
        QCOMPARE(w.Next(), int(PAGE_HOME_PAGE));
        QCOMPARE(homePage->HomePageEdit()->text().toStdString(), tmp / "long/index.html");
        QVERIFY(hand.seen.isEmpty());
    }

    void homePageMustBeATextFileInTheDirectory() {
        CTempDir tmp;
        tmp.Write("web/index.html", "<html></html>\n");
        tmp.Write("web/empty.html", "");
        tmp.Write("web/logo.gif", std::string("GIF89a\0\0\x80\x81", 10));
        tmp.Write("webby/index.html", "<html></html>\n");
        tmp.Write("other/index.html", "<html></html>\n");
        RunSettings s;
        s.Directory = tmp / "web";
        s.Target = TFS_DOS_FAT;
        CModalHand hand;
        CShownWizard w(RealFileSystem(), s, PAGE_HOME_PAGE);
        QLineEdit* edit = w.Page<CPage7>(PAGE_HOME_PAGE)->HomePageEdit();
        struct Case {
            std::string typed;
            QString message;
        };
        const Case cases[] = {
            {"", Msg(IDS_HOME_EMPTY)},
            {tmp / "other/index.html", Msg(IDS_HOME_NOT_IN_DIR, tmp / "web")},
            {tmp / "web/empty.html", Msg(IDS_HOME_NOT_TEXT, tmp / "web/empty.html")},
            {tmp / "web/logo.gif", Msg(IDS_HOME_NOT_TEXT, tmp / "web/logo.gif")},
            {tmp / "web/missing.html",
             Msg(IDS_HOME_NOT_TEXT, tmp / "web/missing.html") + kNoSuchFile},
            // Only the beginning is compared, ignoring case.
            {tmp / "webby/index.html", QString()},
            {tmp / "web/index.html", QString()},
        };
        for (const Case& c : cases) {
            w.sheet.SetActivePage(PAGE_HOME_PAGE);
            edit->setText(QString::fromStdString(c.typed));
            hand.seen.clear();
            int page = w.Next();
            QCOMPARE(page, c.message.isEmpty() ? int(PAGE_REPORT_LINKS) : int(PAGE_HOME_PAGE));
            QCOMPARE(hand.seen, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        }
        QCOMPARE(edit->maxLength(), 260);
    }

    void summaryShowsTheChoices() {
        CSite site;
        RunSettings s = site.Settings();
        s.Target = TFS_DOS_FAT;
        s.FilesOnly = true;
        CShownWizard w(RealFileSystem(), s, PAGE_SUMMARY);
        QPlainTextEdit* summary = w.Page<CPageG>(PAGE_SUMMARY)->SummaryEdit();
        QVERIFY(summary->isReadOnly());
        QVERIFY(!summary->textCursor().hasSelection());
        QCOMPARE(summary->toPlainText().toStdString(), "Directory:  " + site.dir.Path() +
                                                           "\n"
                                                           "Using subdirectories\n"
                                                           "\n"
                                                           "Filename convention: DOS/Windows 3.x\n"
                                                           "Do not rename files, just offer "
                                                           "suggestions\n"
                                                           "Prompt for each filename change\n"
                                                           "\n"
                                                           "ASCII line end conversion: None\n"
                                                           "\n"
                                                           "Do not check URL references\n");

        // A run that changes files ends with the advice to back them up.
        const std::string note = LoadString(IDS_CHECK_URLS_NOTE);
        auto ends = [&](const RunSettings& r) {
            return WizardSummary(r).ends_with("\r\n\r\n" + note);
        };
        RunSettings r = s;
        QVERIFY(!ends(r));
        r.Rename = true;
        QVERIFY(ends(r));
        r.Target = 0;
        QVERIFY(!ends(r));
        r.RenameHtml = WEB_EXT_WINDOWS;
        QVERIFY(ends(r));
        r.Rename = false;
        r.LineEnd = LE_MAC;
        QVERIFY(ends(r));
        QVERIFY(WizardSummary(r).starts_with(SettingsSummary(r)));
    }

    // Off by default; ticked, the summary says so and the run checks fragments and external
    // URLs.
    void linkChecksAreChosenOnTheLinkReportPage() {
        CSite site;
        CShownWizard w(RealFileSystem(), site.Settings(), PAGE_REPORT_LINKS);
        auto* page = w.Page<CPage8>(PAGE_REPORT_LINKS);
        for (QCheckBox* box : {page->FragmentsBox(), page->CheckExternalBox()}) {
            QVERIFY(box && !box->isChecked());
            box->click();
        }
        QVERIFY(!w.Choices().CheckFragments && !w.Choices().CheckExternal);
        QCOMPARE(w.Next(), int(PAGE_SUMMARY));
        QVERIFY(w.Choices().CheckFragments);
        QVERIFY(w.Choices().CheckExternal);
        const QString summary = w.Page<CPageG>(PAGE_SUMMARY)->SummaryEdit()->toPlainText();
        QVERIFY(summary.contains("Report links to fragments their pages do not have"));
        QVERIFY(summary.contains("Check that external URLs answer"));
    }

    // The rename page offers redirects for a server; the choice reaches the settings and the
    // summary when files are renamed.
    void redirectsAreChosenOnTheRenamePage() {
        CSite site;
        RunSettings stored = site.Settings();
        stored.Target = TFS_DOS_FAT;
        stored.Rename = true;
        CShownWizard w(RealFileSystem(), stored, PAGE_RENAME);
        QComboBox* list = w.Page<CPage4>(PAGE_RENAME)->RedirectList();
        QVERIFY(list);
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(list->count(), kRedirectRows);
        list->setCurrentIndex(1);
        w.Next();
        QCOMPARE(w.Choices().Redirects, 1);
        QVERIFY(SettingsSummary(w.Choices())
                    .find("Redirect the old URLs of renamed files with an Apache .htaccess") !=
                std::string::npos);
    }

    void onlyFinishHandsTheSettingsBack() {
        CSite site;
        RunSettings stored = site.Settings();
        stored.Target = TFS_ISO9660;
        stored.FilesOnly = true;
        // Runs the wizard on the stored settings: the target becomes UNIX, renaming is chosen,
        // and the last page ends it with the given button (or Escape when none).
        auto run = [&stored](QPushButton* (CWizardSheet::*last)() const, RunSettings& s) {
            CModalHand hand([last](QWidget* w) {
                auto* sheet = qobject_cast<CWizardSheet*>(w);
                if (!sheet) {
                    qobject_cast<QDialog*>(w)->reject();
                    return;
                }
                if (sheet->CurrentIndex() == PAGE_TARGET)
                    qobject_cast<CPage2*>(sheet->CurrentPage())
                        ->TargetList()
                        ->setCurrentIndex(TargetRowOf(TFS_UNIX));
                if (sheet->CurrentIndex() == PAGE_RENAME)
                    qobject_cast<CChoicePage*>(sheet->CurrentPage())->Radio(0, 1)->click();
                if (sheet->CurrentIndex() != PAGE_SUMMARY)
                    sheet->NextButton()->click();
                else if (last)
                    (sheet->*last)()->click();
                else
                    QTest::keyClick(w, Qt::Key_Escape);
            });
            s = stored;
            CWizardSheet sheet(RealFileSystem());
            return sheet.Run(s);
        };

        // Cancel or Escape on the last page: the settings stay as they were.
        RunSettings s;
        QVERIFY(!run(&CWizardSheet::CancelButton, s));
        QCOMPARE(s.Target, int(TFS_ISO9660));
        QVERIFY(!s.Rename);
        QVERIFY(!run(nullptr, s));
        QCOMPARE(s.Target, int(TFS_ISO9660));
        // Finish: the changed choices come back, with the derived values.
        QVERIFY(run(&CWizardSheet::FinishButton, s));
        QCOMPARE(s.Target, int(TFS_UNIX));
        QVERIFY(s.Rename);
        QVERIFY(!s.UpdateLinks);
        QCOMPARE(s.Directory, site.dir.Path());
    }
};

QTEST_MAIN(TestWizard)
#include "WizardTest.moc"
