// The main window: menus, toolbar and status bar around the report view, and the commands that
// start a run, undo it, and open, save and print reports.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

namespace ts {

class CTessaryApp;
class CTessaryDoc;
class CTessaryView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CTessaryApp& app);
    ~CMainFrame() override;

    CTessaryView* View() const { return m_pView; }

    // The new-document command without its save question: marks a run as due and updates
    // the title, which starts the run.
    void NewDocument();
    // Opens a saved report (also from the command line and the recent-file list).
    bool OpenDocumentFile(const QString& path);
    // Writes the report's bytes to path; false (after a message) when that failed.
    bool SaveDocumentFile(const QString& path);
    // Offers to save a modified report; false when the user cancelled.
    bool SaveModified();

    // The title-update hook: the first call waits for the splash window to go; a due run
    // starts here.
    void OnUpdateFrameTitle(bool addToTitle);
    // Enables the commands that depend on the document.
    void UpdateCommands();

    // The report as the run shows it; it takes the place of any status note.
    void SetReport(const std::string& text, bool modified);
    // A note about the report in the status bar, until the next report replaces it.
    void ShowStatusNote(const QString& text);
    QString StatusNote() const;
    const QString& PathName() const { return m_strPathName; }

    QAction* UndoLastAction() const { return m_pUndoLast; }
    // A run or an undo is going on.
    bool Busy() const { return m_bBusy; }
    QAction* CheckDirectoryAction() const { return m_pCheckDirectory; }
    QMenu* FileMenu() const { return m_pFileMenu; }
    QToolBar* ToolBar() const { return m_pToolBar; }

public slots:
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnUndoLast();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void OnOptionsEditor();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QAction* MakeAction(const QString& text, const QString& promptAndTip,
                        const QList<QKeySequence>& keys = {}, int image = -1);
    void CreateMenus();
    void CreateActions();
    void AddMenus();
    // The actions' commands, and their states that follow the view.
    void ConnectActions();
    void CreateToolBar();
    void CreateStatusBar();
    void RebuildRecentFiles();
    void UpdateTitle();
    // An undo left files changed since the run: the originals can go back over them now, or
    // the journal be dropped, or kept for later.
    void OfferPartlyUndone();
    CTessaryDoc& Doc() const;

    CTessaryApp& m_app;
    CTessaryView* m_pView;
    QLabel* m_pStatusNote = nullptr;
    QString m_strPathName;
    bool m_bFirstTitleUpdate = true;
    bool m_bBusy = false;
    std::unique_ptr<QPrinter> m_pPrinter;

    QMenu* m_pFileMenu = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QAction* m_pCheckDirectory = nullptr;
    QAction* m_pOpen = nullptr;
    QAction* m_pSave = nullptr;
    QAction* m_pSaveAs = nullptr;
    QAction* m_pUndoLast = nullptr;
    QAction* m_pPrint = nullptr;
    QAction* m_pPrintPreview = nullptr;
    QAction* m_pPrintSetup = nullptr;
    QAction* m_pExit = nullptr;
    QAction* m_pEditUndo = nullptr;
    QAction* m_pCut = nullptr;
    QAction* m_pCopy = nullptr;
    QAction* m_pPaste = nullptr;
    QAction* m_pViewToolBar = nullptr;
    QAction* m_pViewStatusBar = nullptr;
    QAction* m_pSetFont = nullptr;
    QAction* m_pEditor = nullptr;
    QAction* m_pAbout = nullptr;
    QAction* m_pRecentSeparator = nullptr;
    QList<QAction*> m_recentActions;
};

}  // namespace ts
