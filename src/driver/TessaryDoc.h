// The document: the settings of the last run, its outcome, the site tree kept for undo and the
// report text. A run and an undo are each carried out by their own driver (driver/RunDriver.h,
// driver/UndoDriver.h) on this state.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/RunUi.h"
#include "driver/RunPasses.h"
#include "driver/RunStatus.h"
#include "platform/Editor.h"

namespace ts {

class CFindings;
class CDirXpNode;
class CRunJournal;
class CTreeWriter;
class CTreeLock;
class CProfile;
class CTempReports;

class CTessaryDoc {
public:
    // profile may be null (no external-editor options are then read or stored); master, when
    // given, receives the settings of every wizard that ends with Finish.
    CTessaryDoc(CFileSystem& fs, CRunUi& ui, CProfile* profile, RunSettings* master);
    ~CTessaryDoc();

    // Performs one run.
    void CheckDirectory();
    // Reverts the last run's changes, from its journal.
    void UndoLast();
    // The Undo Last command is enabled only when a journaled run of the directory is known.
    bool CanUndo() const { return !m_strUndoRun.empty(); }
    // Drops the journal of the run Undo Last would undo: it can no longer be undone.
    bool ForgetUndoRun();
    // Looks for the last journaled run of dir, for Undo Last; true when that run never
    // recorded its end (it was killed or crashed, or is still going on: pid tells its process).
    bool FindLastRun(const std::string& dir, int* pid = nullptr);
    // What keeps a new run of dir from starting (its last run never ended, or is going on
    // still); empty when nothing does.
    std::string UnfinishedRunMessage(const std::string& dir);
    // Registers this process as working on dir (CTreeLock) for as long as lock lives; the
    // message that refuses the work when another process works on dir, above or below it.
    std::string LockTree(const std::string& dir, std::unique_ptr<CTreeLock>& lock) const;

    // Merges the temporary reports into the final report; -1 when it cannot be written. passes:
    // those of a run (an undo has none).
    int BuildFinalReport(const std::string& statusPath, const std::string& errorPath, int nEntries,
                         int nDirs, uint32_t runStatus, const RunPasses& passes = RunPasses());
    // Puts a message into the report view ("\n" becomes "\r\n").
    void ShowInView(const std::string& text);
    // Replaces the report and the view's text.
    void SetView(std::string text, bool modified);
    // The final report stays in its file for a front end that copies it out itself
    // (CRunUi::TakesReportFile); the document removes the file when a new report replaces it
    // or when it ends.
    void SetViewFile(const std::string& path);
    // The final report could not be made: the temporary reports go into the site, and the view
    // says where (tell: also in a message box, with that text instead of shown).
    void ReportsMoved(CTempReports& reports, bool tell, std::string shown);

    CFileSystem& Fs() const { return m_fs; }
    CRunUi& Ui() const { return m_ui; }
    CProfile* Profile() const { return m_pProfile; }
    RunSettings* Master() const { return m_pMaster; }
    // The directory the reports belong to: the one the user chose last.
    const std::string& ReportDirectory() const;
    // A fresh context for a run, with the test hooks applied.
    std::unique_ptr<CRunContext> NewContext() const;
    // The context of the kept tree (null when no tree is kept), and the writer that changes
    // its files.
    CRunContext* KeptContext() const { return m_pCtx.get(); }
    CTreeWriter* Writer() const { return m_pWriter.get(); }
    // Keeps a run's tree and context (with a writer over it) for undo; null for both forgets
    // them.
    void Keep(std::unique_ptr<CRunContext> ctx, std::unique_ptr<CDirXpNode> tree);
    // The date line's clock.
    std::time_t Now() const { return m_now ? m_now() : std::time(nullptr); }

    RunSettings m_settings;
    uint32_t m_dwRunStatus = 0;
    // Which passes the last run was to make and which it finished; none after an undo.
    RunPasses m_passes;
    std::unique_ptr<CDirXpNode> m_pTree;
    // What the new document is for: nothing, a run that is due, or a report that was opened.
    enum NewDocMark : int { NDM_NONE = 0, NDM_RUN_DUE = 1, NDM_REPORT_OPENED = 2 };
    NewDocMark m_nNewDocMark = NDM_NONE;
    std::string m_strReport;
    // Where the report is when it was left in its file (SetViewFile); m_strReport is then empty.
    std::string m_strReportFile;
    bool m_bModified = false;
    // The last run or undo built a final report; its error report held lines.
    bool m_bReportBuilt = false;
    bool m_bFileErrors = false;
    // The error report held more than notes of entries skipped as they should be: a problem.
    bool m_bFileProblems = false;
    // What such notes took in the last run's error report.
    uint64_t m_nNoteBytes = 0;
    // Where the report went when the external editor took it.
    std::string m_strExternalReport;
    // The journal of the run in progress, and the folder of the one Undo Last undoes.
    std::unique_ptr<CRunJournal> m_pJournal;
    std::string m_strUndoRun;
    // Undo Last puts originals back over files changed since the run too, keeping their content.
    bool m_bUndoForce = false;
    // The last undo left files changed since the run; their journal stays.
    bool m_bUndoPartly = false;

    // Test hooks: the clock of the date line, the directory of temporary reports and what
    // starts the external editor.
    std::function<std::time_t()> m_now;
    std::string m_tempDir;
    CEditorLauncher* m_pEditor = &SystemEditorLauncher();
    // Where runs record their findings for a machine-readable report; null for none.
    CFindings* m_pFindings = nullptr;

private:
    CFileSystem& m_fs;
    CRunUi& m_ui;
    CProfile* m_pProfile;
    RunSettings* m_pMaster;
    // The context the kept tree belongs to, and the writer that changes its files.
    std::unique_ptr<CRunContext> m_pCtx;
    std::unique_ptr<CTreeWriter> m_pWriter;
};

}  // namespace ts
