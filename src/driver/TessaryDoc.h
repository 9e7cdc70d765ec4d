// The document: the settings of the last run, its outcome, the site tree kept for undo and the
// report text. CheckDirectory performs one run from the wizard to the final report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/RunUi.h"
#include "platform/Editor.h"

namespace ts {

class CDirXpNode;
class CProfile;

// RunStatus bits.
enum : uint32_t {
    RS_RENAMING = 0x00000001,
    RS_LINE_ENDS = 0x00000002,
    RS_LINKS = 0x00000004,
    RS_UNDONE = 0x00004000,
    RS_COMPLETED = 0x00008000,
    RS_EXCEPTION = 0x00010000,
    RS_LOW_MEMORY = 0x00020000,
    RS_SYNTAX_ERRORS = 0x10000000,
    RS_UNRESOLVED = 0x20000000,
    RS_UNUSED = 0x40000000,
    RS_HTML_REACHED = 0x80000000,
    RS_MODIFIED_MASK = 0x7FFF,
    RS_INTERRUPTED_MASK = 0x30000,
};

class CTessaryDoc {
public:
    // profile may be null (no external-editor options are then read or stored); master, when
    // given, receives the settings of every wizard that ends with Finish.
    CTessaryDoc(CFileSystem& fs, CRunUi& ui, CProfile* profile, RunSettings* master);
    ~CTessaryDoc();

    // Performs one run.
    void CheckDirectory();
    // Reverts the last run's changes.
    void UndoLast();
    // The Undo Last command is enabled only for a kept tree of a run that renamed or converted.
    bool CanUndo() const;

    // Merges the temporary reports into the final report; -1 when it cannot be written.
    int BuildFinalReport(const std::string& statusPath, const std::string& errorPath, int nEntries,
                         int nDirs, uint32_t runStatus);
    // Puts a message into the report view ("\n" becomes "\r\n").
    void ShowInView(const std::string& text);

    RunSettings m_settings;
    uint32_t m_dwRunStatus = 0;
    std::unique_ptr<CDirXpNode> m_pTree;
    // 0 none, 1 a run is due, 2 a report was opened.
    int m_nNewDocMark = 0;
    std::string m_strReport;
    bool m_bModified = false;
    // The last run or undo built a final report; its error report held lines.
    bool m_bReportBuilt = false;
    bool m_bFileErrors = false;
    // Where the report went when the external editor took it.
    std::string m_strExternalReport;

    // Test hooks: the clock of the date line, the directory of temporary reports and what
    // starts the external editor.
    std::function<std::time_t()> m_now;
    std::string m_tempDir;
    CEditorLauncher* m_pEditor = &SystemEditorLauncher();

private:
    friend class CRunDriver;
    friend class CUndo;
    std::unique_ptr<CRunContext> NewContext();
    void SetView(std::string text, bool modified);
    void MoveReportsToDirectory(const std::string& statusPath, const std::string& errorPath);

    CFileSystem& m_fs;
    CRunUi& m_ui;
    CProfile* m_pProfile;
    RunSettings* m_pMaster;
    // The context the kept tree belongs to.
    std::unique_ptr<CRunContext> m_pCtx;
};

// The exception a run raises for a failure that is not a memory shortage.
class CRunError : public std::exception {
public:
    explicit CRunError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

}  // namespace ts
