#include "ui/WizardPages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/RunUi.h"
#include "base/Strings.h"
#include "driver/WizardRules.h"
#include "ui/AppMessageBox.h"
#include "ui/DirDialog.h"

namespace ts {
namespace {

// The directory and home page boxes take at most this many characters.
constexpr int kMaxPathText = 260;

QString TitleText(int id) {
    return QString::fromUtf8(LoadString(id));
}

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

// A line of a text box and a "Browse..." button below its right end.
QPushButton* AddBrowseRow(QVBoxLayout* body, QLabel* label, QLineEdit* edit) {
    edit->setMaxLength(kMaxPathText);
    label->setBuddy(edit);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit, 1);
    body->addLayout(row);
    auto* browse = new QPushButton(QObject::tr("B&rowse..."));
    browse->setAutoDefault(false);
    auto* under = new QHBoxLayout;
    under->addStretch(1);
    under->addWidget(browse);
    body->addLayout(under);
    return browse;
}

}  // namespace

// ---- pages of choices ----

QRadioButton* CChoicePage::Radio(int group, int n) const {
    return qobject_cast<QRadioButton*>(m_groups.at(static_cast<size_t>(group))->button(n));
}

QButtonGroup* CChoicePage::AddRadioGroup(int PageValues::*value, const QStringList& texts) {
    auto* group = new QButtonGroup(this);
    auto* box = new QVBoxLayout;
    box->setContentsMargins(16, 0, 0, 0);
    box->setSpacing(4);
    for (int i = 0; i < texts.size(); ++i) {
        auto* button = new QRadioButton(texts.at(i));
        group->addButton(button, i);
        box->addWidget(button);
    }
    Body()->addLayout(box);
    m_groups.push_back(group);
    m_bindings.push_back(Binding{group, nullptr, nullptr, value});
    return group;
}

QCheckBox* CChoicePage::AddCheck(int PageValues::*value, const QString& text) {
    auto* check = new QCheckBox(text);
    Body()->addWidget(check);
    m_bindings.push_back(Binding{nullptr, check, nullptr, value});
    return check;
}

QComboBox* CChoicePage::AddList(int PageValues::*value, const QString& label,
                                const char* const* rows, const int* codes, int count) {
    auto* text = AddText(label);
    auto* list = new QComboBox;
    text->setBuddy(list);
    m_bindings.push_back(Binding{nullptr, nullptr, list, value});
    auto* row = new QHBoxLayout;
    row->addWidget(list);
    row->addStretch(1);
    Body()->addLayout(row);
    // Each row carries its code.
    for (int i = 0; i < count; ++i)
        list->addItem(QString::fromUtf8(rows[i]), codes[i]);
    list->setMinimumContentsLength(22);
    return list;
}

bool CChoicePage::DoDataExchange(bool save) {
    PageValues& v = Values();
    for (const Binding& b : m_bindings) {
        int& value = v.*b.value;
        if (b.group) {
            if (save) {
                if (b.group->checkedId() >= 0) value = b.group->checkedId();
            } else if (QAbstractButton* button = b.group->button(value)) {
                button->setChecked(true);
            }
        } else if (b.check) {
            if (save)
                value = b.check->isChecked() ? 1 : 0;
            else
                b.check->setChecked(value != 0);
        } else if (b.list) {
            if (save)
                value = b.list->currentIndex();
            else
                b.list->setCurrentIndex(value);
        }
    }
    return true;
}

// ---- 1: introduction ----

CPage1::CPage1(CWizardSheet& sheet)
    : CWizardPage(sheet, tr("Names and Links That Travel Well"), PSWIZB_NEXT) {
    AddAppText(IDS_WIZARD_INTRO_1);
    AddText(
        tr("> Filename incompatibilities between different operating systems\n"
           "> Different ASCII line-end conventions on different operating systems"));
    AddAppText(IDS_WIZARD_INTRO_2);
    AddAppText(IDS_WIZARD_INTRO_3);
    AddText(
        tr("> Automatic update of internal URL links when files are renamed\n"
           "> Report of unresolved links (the file referenced by a link does not exist)\n"
           "> Report of unreferenced files (file is not referenced by links in the Web "
           "site)\n"
           "> Review of external URLs"));
    AddText(tr("Note: To check URLs only, choose \"None\" on the next two pages."));
    AddText(
        tr("Note: You may Cancel this dialog at any time.  No files are modified until you "
           "click Finish on the last page of this dialog.  Click Next now to proceed."));
    Body()->addStretch(1);
}

// ---- 2: target file system ----

CPage2::CPage2(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_TARGET), PSWIZB_BACK | PSWIZB_NEXT) {
    AddText(
        tr("Different file systems have different restrictions on filenames.  The maximum "
           "length of the filename, valid characters and punctuation, and sensitivity to "
           "upper and lower case letters all vary.  ISO 9660 is a specification for "
           "filenames which will be readable by any system. It is a good choice if you are "
           "unsure what platforms/servers might need to access, store, or transfer your "
           "files."));
    AddText(
        tr("ISO 9660: \"8.3\" filename (a maximum of 8 letters followed by a period and a "
           "three-letter extension, e.g.: EIGHTDOT.THR).  Case insensitive, the only "
           "allowed characters are uppercase A-Z, numbers 0-9, and the underscore \"_\"."));
    AddText(
        tr("DOS and Windows 3.x (FAT file system): the same as ISO 9660 with these "
           "additional characters allowed:  $ % ' ` - @ ^ ! & { } ( ) # ~"));
    AddText(
        tr("Microsoft Windows/NT NTFS and Windows 95 VFAT: maximum 255 letters, all "
           "characters allowed except:    \\ / : * ? \" < > |"));
    AddText(tr("Macintosh: maximum 31 letters, all characters allowed except the colon (:)."));
    AddText(tr("UNIX: maximum 255 letters, all characters valid except the forward slash (/)."));
    Body()->addStretch(1);
    m_pList = AddList(&PageValues::nTarget,
                      tr("Choose the filename convention for your target system(s):"),
                      kTargetRowTexts, kTargetRowCodes, kTargetRows);
}

// ---- 3: line ends ----

CPage3::CPage3(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_LINE_ENDS), PSWIZB_BACK | PSWIZB_NEXT) {
    AddText(
        tr("Different operating systems have different conventions for ending a line of "
           "ASCII text:"));
    AddText(
        tr("> Macintosh uses a carriage return character <CR>\n"
           "> UNIX uses a line feed character <LF>\n"
           "> DOS/Windows uses a combined carriage return and line feed <CR><LF>"));
    AddText(
        tr("Some applications (including many word processors) have the ability to read and "
           "translate between these different formats.  Other applications do not, causing "
           "confusion for the readers of your files."));
    AddAppText(IDS_WIZARD_LINE_ENDS);
    Body()->addStretch(1);
    m_pList =
        AddList(&PageValues::nLineEnd, tr("Choose the line-end convention for your target system:"),
                kLineEndRowTexts, kLineEndRowCodes, kLineEndRows);
}

// ---- 4: check URLs ----

CPage6::CPage6(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_CHECK_URLS), PSWIZB_BACK | PSWIZB_NEXT) {
    AddAppText(IDS_WIZARD_CHECK_URLS);
    m_pFilesOnly = AddRadioGroup(&PageValues::nFilesOnly,
                                 {tr("Yes, check URL links in HTML files"),
                                  tr("No, just validate filenames/update line ends")});
    // Two strings in one text field.
    AddText(FromStd(FormatMessage(IDS_WIZARD_WEB_EXT, kAppName)) +
            QString::fromUtf8(LoadString(IDS_WIZARD_WEB_EXT_2)));
    m_pRenameHtml = AddRadioGroup(
        &PageValues::nRenameHtml,
        {tr("Do not change filename extensions for Web files"),
         tr("Convert  *.html, *.jpeg, ... --> *.htm,  *.jpg,  ...  (Windows/NT format)"),
         tr("Convert  *.htm,  *.jpg,  ...  --> *.html, *.jpeg, ... (Macintosh/UNIX format)")});
    Body()->addStretch(1);
    connect(m_pFilesOnly->button(0), &QAbstractButton::clicked, this, &CPage6::OnCheckUrls);
}

void CPage6::OnSetActive() {
    RunSettings c = Sheet().CurrentChoices();
    PageValues& v = Values();
    WebExtChoice choice = AdjustWebExtChoice(c.Target, v.nFilesOnly == 0, v.nRenameHtml);
    v.nRenameHtml = choice.nRenameHtml;
    m_pRenameHtml->button(WEB_EXT_WINDOWS)->setEnabled(choice.bToWindows);
    m_pRenameHtml->button(WEB_EXT_UNIX)->setEnabled(choice.bToUnix);
}

void CPage6::OnCheckUrls() {
    int preferred = PreferredWebExt(Sheet().CurrentChoices().Target);
    if (preferred >= 0) m_pRenameHtml->button(preferred)->setChecked(true);
}

int CPage6::OnWizardNext() {
    DoDataExchange(true);
    RunSettings c = Sheet().CurrentChoices();
    if (c.Target != 0 || c.RenameHtml != 0) return kFollowing;
    if (Refusal r = CheckActions(c); !r.ok()) {
        Box(r.text);
        return kStay;
    }
    return c.LineEnd != 0 ? PAGE_READ_ONLY : PAGE_DIRECTORY;
}

// ---- 5: rename or validate ----

CPage4::CPage4(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_RENAME), PSWIZB_BACK | PSWIZB_NEXT) {
    AddText(tr("You have the option to manually or automatically change filenames, as follows:"));
    AddText(
        tr("1) Validate the filenames for the target system without renaming them (a final "
           "report listing the suggested changes will be generated, which you can print and "
           "use to manually change the filenames)"));
    AddText(
        tr("2) Rename the invalid files (a verification dialog will provide you with an "
           "editable list of changes before the files are renamed)"));
    AddText(
        tr("NOTE:  If you choose to rename files it is HIGHLY recommended that you make a "
           "backup copy of your directory first!"));
    AddRadioGroup(&PageValues::nRename,
                  {tr("Validate only!  Give me a list of suggested changes to filenames"),
                   tr("Rename the files after letting me edit the suggested changes")});
    m_pRedirects = AddList(&PageValues::nRedirects,
                           tr("Links from other sites and bookmarks still name the old files.  "
                              "After renaming, write permanent redirects from the old "
                              "addresses to the new ones for this server:"),
                           kRedirectRowTexts, kRedirectRowCodes, kRedirectRows);
    Body()->addStretch(1);
}

// ---- 6: prompt for each new name ----

CPage5::CPage5(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_PROMPT), PSWIZB_BACK | PSWIZB_NEXT) {
    AddAppText(IDS_WIZARD_PROMPT);
    AddText(
        tr("In both cases a verification dialog will present you with an editable list of "
           "suggested changes before any files are renamed."));
    AddRadioGroup(&PageValues::nAutoFileName,
                  {tr("Prompt me for each new filename"),
                   tr("Automatically suggest all new filenames without prompting me")});
    Body()->addStretch(1);
}

// ---- 7: read-only files ----

CPage9::CPage9(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_READ_ONLY), PSWIZB_BACK | PSWIZB_NEXT) {
    AddText(tr("You can either skip over read-only files or convert them to be writable."));
    AddRadioGroup(&PageValues::nAutoReadOnly,
                  {tr("Prompt me for each read-only file before converting it to be writable"),
                   tr("Skip all read-only files, do not rename or modify any of them"),
                   tr("Automatically convert all read-only files which need to be changed")});
    Body()->addStretch(1);
}

int CPage9::OnWizardBack() {
    RunSettings c = Sheet().CurrentChoices();
    return c.Target == 0 && c.RenameHtml == 0 ? PAGE_CHECK_URLS : kFollowing;
}

// ---- 8: directory ----

CPageF::CPageF(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_DIRECTORY), PSWIZB_BACK | PSWIZB_NEXT) {
    AddAppText(IDS_WIZARD_DIRECTORY);
    m_pDirectory = new QLineEdit;
    QPushButton* browse = AddBrowseRow(Body(), new QLabel(tr("&Directory:")), m_pDirectory);
    m_pUseSubdirs = AddCheck(&PageValues::bUseSubdirs, tr("Process subdirectories"));
    m_pLogText = AddAppText(IDS_WIZARD_REPORT);
    m_pLogSubdirs =
        AddCheck(&PageValues::bLogSubdirs, tr("Save \"rename.log\" log files in subdirectories"));
    AddAppText(IDS_WIZARD_SPECIAL);
    m_pReportSpecial = AddCheck(&PageValues::bReportSpecial,
                                tr("Notify me of each hidden, system, or temporary file"));
    Body()->addStretch(1);
    connect(browse, &QPushButton::clicked, this, &CPageF::OnBrowse);
    connect(m_pUseSubdirs, &QCheckBox::clicked, this, [this] {
        DoDataExchange(true);
        EnableLogOptions();
    });
}

void CPageF::EnableLogOptions() {
    bool on = Values().bUseSubdirs != 0;
    m_pLogText->setEnabled(on);
    m_pLogSubdirs->setEnabled(on);
}

void CPageF::OnSetActive() {
    EnableLogOptions();
    m_strShownDirectory = Values().strDirectory;
}

bool CPageF::DoDataExchange(bool save) {
    CChoicePage::DoDataExchange(save);
    if (save)
        Values().strDirectory = m_pDirectory->text().toStdString();
    else
        m_pDirectory->setText(FromStd(Values().strDirectory));
    return true;
}

void CPageF::OnBrowse() {
    std::string start = m_pDirectory->text().toStdString();
    std::string chosen = ChooseDirectory(this, start);
    if (!chosen.empty()) m_pDirectory->setText(FromStd(chosen));
}

int CPageF::OnWizardNext() {
    DoDataExchange(true);
    PageValues& v = Values();
    // A relative path is taken from the current directory; a trailing separator goes. The
    // box shows what will be used.
    if (!v.strDirectory.empty()) {
        std::string path = NormalizeDirectory(v.strDirectory);
        if (path != v.strDirectory) {
            v.strDirectory = path;
            m_pDirectory->setText(FromStd(path));
        }
    }
    RunSettings c = Sheet().CurrentChoices();
    CFileSystem& fs = Sheet().FileSystem();
    if (Refusal r = CheckDirectoryChoice(fs, c); !r.ok()) {
        Box(r.text);
        return kStay;
    }
    // Another directory has another home page: the next visit works it out anew.
    if (c.Directory != m_strShownDirectory) v.strHomePage.clear();
    if (Refusal r = CheckDriveChoice(fs, c); !r.ok()) {
        if (Box(r.text, MB_ICON_WARNING | MB_OKCANCEL) != ID_OK) return kStay;
    }
    return c.FilesOnly ? PAGE_SUMMARY : kFollowing;
}

int CPageF::OnWizardBack() {
    RunSettings c = Sheet().CurrentChoices();
    return c.Target == 0 && c.RenameHtml == 0 && c.LineEnd == 0 ? PAGE_CHECK_URLS : kFollowing;
}

// ---- 9: home page ----

CPage7::CPage7(CWizardSheet& sheet)
    : CWizardPage(sheet, TitleText(IDS_TITLE_HOME_PAGE), PSWIZB_BACK | PSWIZB_NEXT) {
    AddAppText(IDS_WIZARD_HOME_PAGE);
    m_pHomePage = new QLineEdit;
    QPushButton* browse = AddBrowseRow(Body(), new QLabel(tr("&Home page:")), m_pHomePage);
    Body()->addStretch(1);
    connect(browse, &QPushButton::clicked, this, &CPage7::OnBrowse);
}

void CPage7::OnSetActive() {
    PageValues& v = Values();
    if (v.strHomePage.empty())
        v.strHomePage = DefaultHomePage(Sheet().FileSystem(), Sheet().CurrentChoices());
}

bool CPage7::DoDataExchange(bool save) {
    if (save)
        Values().strHomePage = m_pHomePage->text().toStdString();
    else
        m_pHomePage->setText(FromStd(Values().strHomePage));
    return true;
}

void CPage7::OnBrowse() {
    QString start = FromStd(Sheet().CurrentChoices().Directory);
    QString path =
        QFileDialog::getOpenFileName(this, DialogCaption(TitleText(IDS_TITLE_HOME_PAGE)), start,
                                     tr("HTML Files (*.html *.htm);;All Files (*)"));
    if (!path.isEmpty()) m_pHomePage->setText(path);
}

int CPage7::OnWizardNext() {
    DoDataExchange(true);
    if (Refusal r = CheckHomePage(Sheet().FileSystem(), Sheet().CurrentChoices()); !r.ok()) {
        Box(r.text);
        return kStay;
    }
    return kFollowing;
}

// ---- 10: report links ----

CPage8::CPage8(CWizardSheet& sheet)
    : CChoicePage(sheet, TitleText(IDS_TITLE_REPORT_LINKS), PSWIZB_BACK | PSWIZB_NEXT) {
    AddText(
        tr("Sometimes during Web site development local files which you are referencing "
           "from an HTML page get misplaced.  Check the following box if you want a report "
           "of these unresolved references."));
    m_pUnresolved = AddCheck(&PageValues::bReportUnresolvedRefs,
                             tr("Report references to local files which are can not be found"));
    m_pFragments = AddCheck(&PageValues::bCheckFragments,
                            tr("Also report links to a part of a page (page.html#part) that the "
                               "page does not have"));
    AddText(
        tr("The directory you selected may contain files which are not linked into your Web "
           "site hierarchy.  This might happen if you replace an image file but forget to "
           "remove the old file from the directory, or if you misname a file."));
    m_pUnused = AddCheck(&PageValues::bReportUnusedFiles,
                         tr("Report local files which are not referenced by the Web site "
                            "hierarchy"));
    AddText(
        tr("Check the following box to generate a \"report_of_external_refs.htm\" file that "
           "you can load in your browser.  This file will list the external URL links in "
           "your Web site, so that you can test whether they have been moved or changed."));
    m_pExternal = AddCheck(&PageValues::bReportExternalRefs,
                           tr("Report external URL links referenced from this Web site"));
    m_pCheckExternal = AddCheck(&PageValues::bCheckExternal,
                                tr("Also ask each external URL's server whether the link still "
                                   "works, and list those that failed or moved"));
    Body()->addStretch(1);
}

// ---- 11: summary ----

std::string WizardSummary(const RunSettings& s) {
    std::string text = SettingsSummary(s);
    if (s.LineEnd != 0 || (s.Rename && (s.Target != 0 || s.RenameHtml != 0)))
        text += std::string("\r\n") + LoadString(IDS_CHECK_URLS_NOTE);
    return text;
}

CPageG::CPageG(CWizardSheet& sheet)
    : CWizardPage(sheet, TitleText(IDS_TITLE_SUMMARY), PSWIZB_BACK | PSWIZB_FINISH) {
    AddText(
        tr("You have selected these settings.  Please review them and press \"Back\" to "
           "modify the settings or \"Finish\" to accept them and begin processing."));
    m_pSummary = new QPlainTextEdit;
    m_pSummary->setReadOnly(true);
    m_pSummary->setFrameShape(QFrame::NoFrame);
    m_pSummary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pSummary->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The field looks like the page, not like a box to type in.
    m_pSummary->setBackgroundRole(QPalette::Window);
    m_pSummary->viewport()->setBackgroundRole(QPalette::Window);
    Body()->addWidget(m_pSummary, 1);
}

void CPageG::OnSetActive() {
    QString text = FromStd(WizardSummary(Sheet().CurrentChoices()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_pSummary->setPlainText(text);
    QTextCursor cursor = m_pSummary->textCursor();
    cursor.movePosition(QTextCursor::Start);
    m_pSummary->setTextCursor(cursor);
}

int CPageG::OnWizardBack() {
    return Sheet().CurrentChoices().FilesOnly ? PAGE_DIRECTORY : kFollowing;
}

// ---- the sheet's pages ----

std::vector<CWizardPage*> MakeWizardPages(CWizardSheet& sheet) {
    return {new CPage1(sheet), new CPage2(sheet), new CPage3(sheet), new CPage6(sheet),
            new CPage4(sheet), new CPage5(sheet), new CPage9(sheet), new CPageF(sheet),
            new CPage7(sheet), new CPage8(sheet), new CPageG(sheet)};
}

}  // namespace ts
