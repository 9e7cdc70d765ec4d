#include "ui/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <cerrno>
#include <cstring>

#include "base/EditorOptions.h"
#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "platform/SafeRewrite.h"
#include "ui/AppMessageBox.h"
#include "ui/EditorDlg.h"
#include "ui/RecentFileList.h"
#include "ui/Resources.h"
#include "ui/TessaryApp.h"
#include "ui/TessaryView.h"

namespace ts {

namespace {

// Marks the window busy while a run or an undo goes on: a stop signal waits for its end.
class CBusy {
public:
    explicit CBusy(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~CBusy() { m_flag = m_was; }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

}  // namespace
namespace {

// The name a new report goes by until it is saved.
const char* const kDefaultDocName = "Report";
const char* const kReportFilter = "Tessary Report (*.tsy)";

// The toolbar images: one strip of 16 x 15 pictures.
enum {
    IMG_CHECK_DIRECTORY,
    IMG_OPEN,
    IMG_SAVE,
    IMG_CUT,
    IMG_COPY,
    IMG_PASTE,
    IMG_PRINT,
    IMG_ABOUT,
};

QIcon ToolbarIcon(int index) {
    EnsureResources();
    static const QImage strip(QStringLiteral(":/res/toolbar.png"));
    if (strip.isNull()) return QIcon();
    return QIcon(QPixmap::fromImage(strip.copy(index * 16, 0, 16, 15)));
}

// A recent file as the menu lists it: long paths keep their start and the file name.
QString MenuPath(const QString& path) {
    QString shown = QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (shown.size() <= 60) return shown;
    QFileInfo info(path);
    QString start = shown.section(QDir::separator(), 0, 1, QString::SectionSkipEmpty);
    return QDir::separator() + start + QDir::separator() + QStringLiteral("...") +
           QDir::separator() + info.fileName().replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

CMainFrame::CMainFrame(CTessaryApp& app) : m_app(app) {
    m_pView = new CTessaryView(app.ViewFont(), this);
    setCentralWidget(m_pView);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    // F6 and Shift+F6 move between panes; the report view is the only one.
    for (QKeySequence key : {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)})
        connect(new QShortcut(key, this), &QShortcut::activated, m_pView,
                [this] { m_pView->setFocus(); });
    connect(m_pView->document(), &QTextDocument::modificationChanged, this, [this](bool changed) {
        if (changed) Doc().m_bModified = true;
        UpdateTitle();
    });
    resize(820, 600);
    UpdateCommands();
    UpdateTitle();
}

CMainFrame::~CMainFrame() = default;

CTessaryDoc& CMainFrame::Doc() const {
    return m_app.Doc();
}

QAction* CMainFrame::MakeAction(const QString& text, const QString& promptAndTip,
                                const QList<QKeySequence>& keys, int image) {
    auto* action = new QAction(text, this);
    // The text before the line break is the status-bar prompt, the text after it the tip.
    action->setStatusTip(promptAndTip.section(QLatin1Char('\n'), 0, 0));
    QString tip = promptAndTip.section(QLatin1Char('\n'), 1);
    if (!tip.isEmpty()) action->setToolTip(tip);
    if (!keys.isEmpty()) action->setShortcuts(keys);
    if (image >= 0) action->setIcon(ToolbarIcon(image));
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

void CMainFrame::CreateMenus() {
    CreateActions();
    AddMenus();
    ConnectActions();
}

void CMainFrame::CreateActions() {
    m_pCheckDirectory = MakeAction(tr("Check &Directory..."), tr("Check a Directory\nCheck"),
                                   {QKeySequence(Qt::CTRL | Qt::Key_D)}, IMG_CHECK_DIRECTORY);
    m_pOpen = MakeAction(tr("&Open Report..."), tr("Open an existing report\nOpen"),
                         {QKeySequence(Qt::CTRL | Qt::Key_O)}, IMG_OPEN);
    m_pSave = MakeAction(tr("&Save Report"), tr("Save the active report\nSave"),
                         {QKeySequence(Qt::CTRL | Qt::Key_S)}, IMG_SAVE);
    m_pSaveAs =
        MakeAction(tr("Save Report &As..."), tr("Save the active report with a new name\nSave As"));
    m_pUndoLast = MakeAction(tr("&Undo Last"), tr("Undo changes to directory\nUndo"),
                             {QKeySequence(Qt::CTRL | Qt::Key_U)});
    m_pPrint = MakeAction(tr("&Print Report..."), tr("Print the active report\nPrint"),
                          {QKeySequence(Qt::CTRL | Qt::Key_P)}, IMG_PRINT);
    m_pPrintPreview = MakeAction(tr("Print Pre&view"), tr("Display full pages\nPrint Preview"));
    m_pPrintSetup = MakeAction(tr("P&rint Setup..."),
                               tr("Change the printer and printing options\nPrint Setup"));
    m_pExit = MakeAction(tr("E&xit"), tr("Quit the application; prompts to save documents\nExit"));
    m_pEditUndo =
        MakeAction(tr("&Undo"), tr("Undo the last action\nUndo"),
                   {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    m_pCut = MakeAction(
        tr("Cu&t"), tr("Cut the selection and put it on the Clipboard\nCut"),
        {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}, IMG_CUT);
    m_pCopy = MakeAction(
        tr("&Copy"), tr("Copy the selection and put it on the Clipboard\nCopy"),
        {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}, IMG_COPY);
    m_pPaste = MakeAction(
        tr("&Paste"), tr("Insert Clipboard contents\nPaste"),
        {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}, IMG_PASTE);
    m_pViewToolBar = MakeAction(tr("&Toolbar"), tr("Show or hide the toolbar\nToggle ToolBar"));
    m_pViewStatusBar =
        MakeAction(tr("&Status Bar"), tr("Show or hide the status bar\nToggle StatusBar"));
    m_pSetFont = MakeAction(tr("Set &Font..."), tr("Set Local Editor's Font\nSet Font"));
    m_pEditor = MakeAction(tr("External &Editor..."),
                           tr("Specify external editor for reports\nExternal Editor"));
    m_pAbout = MakeAction(tr("&About Tessary..."),
                          tr("Display program information, version number and copyright\nAbout"),
                          {}, IMG_ABOUT);
    m_pViewToolBar->setCheckable(true);
    m_pViewStatusBar->setCheckable(true);
    m_pViewToolBar->setChecked(true);
    m_pViewStatusBar->setChecked(true);
}

void CMainFrame::AddMenus() {
    m_pFileMenu = menuBar()->addMenu(tr("&File"));
    m_pFileMenu->addAction(m_pCheckDirectory);
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_pOpen);
    m_pFileMenu->addAction(m_pSave);
    m_pFileMenu->addAction(m_pSaveAs);
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_pUndoLast);
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_pPrint);
    m_pFileMenu->addAction(m_pPrintPreview);
    m_pFileMenu->addAction(m_pPrintSetup);
    m_pFileMenu->addSeparator();
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_pExit);
    RebuildRecentFiles();
    connect(m_pFileMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(m_pEditUndo);
    edit->addSeparator();
    edit->addAction(m_pCut);
    edit->addAction(m_pCopy);
    edit->addAction(m_pPaste);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(m_pViewToolBar);
    view->addAction(m_pViewStatusBar);
    view->addSeparator();
    view->addAction(m_pSetFont);

    menuBar()->addMenu(tr("&Options"))->addAction(m_pEditor);
    menuBar()->addMenu(tr("&Help"))->addAction(m_pAbout);
}

void CMainFrame::ConnectActions() {
    connect(m_pCheckDirectory, &QAction::triggered, this, &CMainFrame::OnFileNew);
    connect(m_pOpen, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    connect(m_pSave, &QAction::triggered, this, &CMainFrame::OnFileSave);
    connect(m_pSaveAs, &QAction::triggered, this, &CMainFrame::OnFileSaveAs);
    connect(m_pUndoLast, &QAction::triggered, this, &CMainFrame::OnUndoLast);
    connect(m_pPrint, &QAction::triggered, this, &CMainFrame::OnFilePrint);
    connect(m_pPrintPreview, &QAction::triggered, this, &CMainFrame::OnFilePrintPreview);
    connect(m_pPrintSetup, &QAction::triggered, this, &CMainFrame::OnFilePrintSetup);
    connect(m_pExit, &QAction::triggered, this, &QWidget::close);
    connect(m_pEditUndo, &QAction::triggered, m_pView, &QPlainTextEdit::undo);
    connect(m_pCut, &QAction::triggered, m_pView, &QPlainTextEdit::cut);
    connect(m_pCopy, &QAction::triggered, m_pView, &QPlainTextEdit::copy);
    connect(m_pPaste, &QAction::triggered, m_pView, &QPlainTextEdit::paste);
    connect(m_pView, &QPlainTextEdit::undoAvailable, m_pEditUndo, &QAction::setEnabled);
    connect(m_pView, &QPlainTextEdit::copyAvailable, m_pCut, &QAction::setEnabled);
    connect(m_pView, &QPlainTextEdit::copyAvailable, m_pCopy, &QAction::setEnabled);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { m_pPaste->setEnabled(m_pView->canPaste()); });
    connect(m_pSetFont, &QAction::triggered, m_pView, &CTessaryView::OnSetFont);
    connect(m_pEditor, &QAction::triggered, this, &CMainFrame::OnOptionsEditor);
    connect(m_pAbout, &QAction::triggered, this, [this] { m_app.OnAppAbout(); });
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = addToolBar(tr("Toolbar"));
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->addAction(m_pCheckDirectory);
    m_pToolBar->addAction(m_pOpen);
    m_pToolBar->addAction(m_pSave);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_pCut);
    m_pToolBar->addAction(m_pCopy);
    m_pToolBar->addAction(m_pPaste);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_pPrint);
    m_pToolBar->addAction(m_pAbout);
    connect(m_pViewToolBar, &QAction::toggled, m_pToolBar, &QToolBar::setVisible);
    connect(m_pToolBar, &QToolBar::visibilityChanged, m_pViewToolBar, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    // The idle message sits in the message pane; prompts of menu items replace it while
    // they are shown.
    m_pStatusNote = new QLabel(tr("Ready"));
    // A long note (a report's path) is cut rather than widening the window; the whole of it
    // is in the tooltip and can be selected. A path is never read as markup.
    m_pStatusNote->setTextFormat(Qt::PlainText);
    m_pStatusNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pStatusNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_pStatusNote, 1);
    connect(m_pViewStatusBar, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
}

void CMainFrame::RebuildRecentFiles() {
    for (QAction* a : m_recentActions) {
        m_pFileMenu->removeAction(a);
        a->deleteLater();
    }
    m_recentActions.clear();
    const auto& entries = m_app.RecentFiles().Entries();
    if (entries.empty()) {
        auto* none = new QAction(tr("Recent File"), this);
        none->setEnabled(false);
        m_recentActions.append(none);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        QString path = QString::fromStdString(entries[i]);
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(MenuPath(path)), this);
        a->setStatusTip(tr("Open this report"));
        connect(a, &QAction::triggered, this, [this, path] {
            if (SaveModified()) OpenDocumentFile(path);
        });
        m_recentActions.append(a);
    }
    m_pFileMenu->insertActions(m_pRecentSeparator, m_recentActions);
}

void CMainFrame::UpdateCommands() {
    m_pUndoLast->setEnabled(Doc().CanUndo());
    bool selection = m_pView->textCursor().hasSelection();
    m_pCut->setEnabled(selection);
    m_pCopy->setEnabled(selection);
    m_pEditUndo->setEnabled(m_pView->document()->isUndoAvailable());
    m_pPaste->setEnabled(m_pView->canPaste());
}

void CMainFrame::UpdateTitle() {
    QString name =
        m_strPathName.isEmpty() ? tr(kDefaultDocName) : QFileInfo(m_strPathName).fileName();
    setWindowTitle(name + QStringLiteral("[*] - ") + QString::fromUtf8(kAppName));
    setWindowModified(Doc().m_bModified);
}

void CMainFrame::ShowStatusNote(const QString& text) {
    m_pStatusNote->setText(text);
    m_pStatusNote->setToolTip(text);
}

QString CMainFrame::StatusNote() const {
    return m_pStatusNote->text();
}

void CMainFrame::SetReport(const std::string& text, bool modified) {
    m_pStatusNote->setText(tr("Ready"));
    m_pStatusNote->setToolTip(QString());
    m_pView->SetReportText(text);
    Doc().m_bModified = modified;
    UpdateTitle();
}

void CMainFrame::OnUpdateFrameTitle(bool) {
    CBusy busy(m_bBusy);
    if (m_bFirstTitleUpdate) {
        m_bFirstTitleUpdate = false;
        m_app.WaitForSplash();
    }
    CTessaryDoc& doc = Doc();
    CTessaryDoc::NewDocMark mark = doc.m_nNewDocMark;
    doc.m_nNewDocMark = CTessaryDoc::NDM_NONE;
    if (mark == CTessaryDoc::NDM_RUN_DUE) {
        doc.CheckDirectory();
        UpdateCommands();
    }
    UpdateTitle();
}

void CMainFrame::OnFileNew() {
    if (!SaveModified()) return;
    NewDocument();
}

void CMainFrame::NewDocument() {
    // A new report keeps the old text on show until the run replaces it.
    CTessaryDoc& doc = Doc();
    m_strPathName.clear();
    doc.m_bModified = false;
    m_pView->document()->setModified(false);
    doc.m_nNewDocMark = CTessaryDoc::NDM_RUN_DUE;
    OnUpdateFrameTitle(true);
}

void CMainFrame::OnFileOpen() {
    if (!SaveModified()) return;
    QString start = m_strPathName.isEmpty() ? QDir::currentPath() : QFileInfo(m_strPathName).path();
    QString path = QFileDialog::getOpenFileName(
        this, DialogCaption(tr("Open Report")), start,
        tr(kReportFilter) + QStringLiteral(";;") + tr("All Files (*)"));
    if (!path.isEmpty()) OpenDocumentFile(path);
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    std::string bytes;
    CResult read = ReadWholeFile(m_app.FileSystem(), absolute.toStdString(), bytes);
    if (!read) {
        int err = read.Error();
        QString why = err ? QString::fromLocal8Bit(std::strerror(err)) : QString();
        AppMessageBox(isVisible() ? this : nullptr,
                      tr("Could not open the report \"%1\".").arg(absolute) +
                          (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
        auto& recent = m_app.RecentFiles();
        const auto& entries = recent.Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i] == absolute.toStdString()) recent.Remove(i);
        RebuildRecentFiles();
        return false;
    }
    CTessaryDoc& doc = Doc();
    doc.m_nNewDocMark = CTessaryDoc::NDM_REPORT_OPENED;
    doc.m_strReport = bytes;
    m_strPathName = absolute;
    SetReport(bytes, false);
    m_app.RecentFiles().Add(absolute.toStdString());
    RebuildRecentFiles();
    OnUpdateFrameTitle(true);
    return true;
}

bool CMainFrame::OnFileSave() {
    if (m_strPathName.isEmpty()) return OnFileSaveAs();
    return SaveDocumentFile(m_strPathName);
}

bool CMainFrame::OnFileSaveAs() {
    QString proposed = m_strPathName;
    if (proposed.isEmpty())
        proposed = QDir::current().filePath(tr(kDefaultDocName) + QStringLiteral(".tsy"));
    QFileDialog dlg(this, DialogCaption(tr("Save Report As")), QFileInfo(proposed).path(),
                    tr(kReportFilter));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("tsy"));
    dlg.selectFile(QFileInfo(proposed).fileName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    return SaveDocumentFile(dlg.selectedFiles().first());
}

bool CMainFrame::SaveDocumentFile(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    std::string target = absolute.toStdString();
    std::string bytes = m_pView->ReportBytes();
    CFileSystem& fs = m_app.FileSystem();
    // The report goes to a temporary file that replaces the old one in one step, so a failed
    // save never leaves half a report behind.
    FileStat st;
    unsigned mode = fs.Stat(target, st) && st.kind == EntryKind::File ? (st.mode & 07777) : 0644;
    CResult ok = RewriteWholeFile(fs, target, bytes, mode);
    if (!ok) {
        int err = ok.Error();
        AppMessageBox(this,
                      tr("Could not save the report as \"%1\".").arg(absolute) +
                          (err ? QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(err))
                               : QString()));
        return false;
    }
    m_pView->MarkSaved(bytes);
    Doc().m_strReport = bytes;
    Doc().m_bModified = false;
    m_strPathName = absolute;
    m_app.RecentFiles().Add(target);
    RebuildRecentFiles();
    UpdateTitle();
    return true;
}

bool CMainFrame::SaveModified() {
    if (!Doc().m_bModified) return true;
    QString name =
        m_strPathName.isEmpty() ? tr(kDefaultDocName) : QFileInfo(m_strPathName).fileName();
    auto answer =
        AppQuestion(this, tr("Save changes to %1?").arg(name),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return OnFileSave();
    return answer == QMessageBox::No;
}

void CMainFrame::OnUndoLast() {
    // The shortcut may arrive while the menu's state is stale.
    if (!Doc().CanUndo()) return;
    CBusy busy(m_bBusy);
    Doc().UndoLast();
    if (Doc().m_bUndoPartly) OfferPartlyUndone();
    UpdateCommands();
    UpdateTitle();
}

void CMainFrame::OfferPartlyUndone() {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAppName),
                    tr("Files changed since the run were left as they are, and the journal keeps "
                       "their originals.\n\nPut the originals back over the later edits? The "
                       "edits are kept, and undoing that undo gives them back. Or drop the "
                       "journal, so that the run can no longer be undone?"),
                    QMessageBox::NoButton, this);
    QPushButton* force = box.addButton(tr("Put Originals Back"), QMessageBox::AcceptRole);
    QPushButton* forget = box.addButton(tr("Forget the Journal"), QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(tr("Keep the Journal"), QMessageBox::RejectRole));
    box.exec();
    if (box.clickedButton() == force) {
        Doc().m_bUndoForce = true;
        Doc().UndoLast();
        Doc().m_bUndoForce = false;
    } else if (box.clickedButton() == forget) {
        Doc().ForgetUndoRun();
    }
}

void CMainFrame::OnFilePrint() {
    if (!m_pPrinter) m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dlg(m_pPrinter.get(), this);
    dlg.setWindowTitle(DialogCaption(tr("Print Report")));
    if (dlg.exec() == QDialog::Accepted) m_pView->Print(m_pPrinter.get());
}

void CMainFrame::OnFilePrintPreview() {
    if (!m_pPrinter) m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintPreviewDialog dlg(m_pPrinter.get(), this);
    dlg.setWindowTitle(DialogCaption(tr("Print Preview")));
    connect(&dlg, &QPrintPreviewDialog::paintRequested, m_pView, &CTessaryView::Print);
    dlg.exec();
}

void CMainFrame::OnFilePrintSetup() {
    if (!m_pPrinter) m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dlg(m_pPrinter.get(), this);
    dlg.setWindowTitle(DialogCaption(tr("Print Setup")));
    dlg.exec();
}

void CMainFrame::OnOptionsEditor() {
    std::string dir = m_app.Settings().Directory;
    if (dir.empty()) dir = QDir::currentPath().toStdString();
    EditorOptions options = LoadEditorOptions(m_app.FileSystem(), &m_app.Profile(), dir);
    CEditorDlg dlg(options, this);
    if (dlg.exec() == QDialog::Accepted)
        StoreEditorOptions(m_app.FileSystem(), m_app.Profile(), options);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!SaveModified()) {
        e->ignore();
        return;
    }
    e->accept();
    QApplication::quit();
}

}  // namespace ts
