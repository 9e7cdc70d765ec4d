// The command line's user interface: messages on standard error, a one-line progress display
// when standard error is a terminal, questions on the terminal, and Ctrl+C as Cancel.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "base/RunUi.h"

namespace ts {

struct CliOptions;

class CTerminalUi : public CRunUi, public CProgress {
public:
    // in/out/err are the terminal streams; interactive says whether questions may be asked.
    CTerminalUi(const RunSettings& settings, std::FILE* in, std::FILE* err, bool interactive,
                bool progress, bool yes);

    bool RunWizard(RunSettings& settings) override;
    MessageBoxAnswer MessageBox(const std::string& text, int style) override;
    CProgress& Progress() override { return *this; }
    void Begin(const std::string& caption, int range) override;
    bool SetDirectory(const std::string& path) override;
    void SetFile(const std::string& path) override;
    void End() override;
    RenameAnswer RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) override;
    ReadOnlyAnswer ReadOnlyPrompt(const std::string& text) override;
    VerifyChoices VerifyFilenames(CVerifyNameList& list) override;
    VerifyChoices VerifyLineEnds(const std::string& directory,
                                 const std::vector<LineEndRow>& rows) override;
    bool HasLimitedView() const override { return false; }
    bool EditorDialog(EditorOptions&) override { return false; }
    void SetViewText(const std::string& text, bool modified) override;
    void ShowMainWindow(bool) override {}

    // Asks a yes/no question on the terminal; false without a terminal.
    bool AskYesNo(const std::string& question);

    // Set by the Ctrl+C handler.
    static std::atomic<bool> s_cancel;

private:
    std::string ReadLine();
    bool ConfirmRows(const char* question, const char* leftOut, std::vector<bool>& checked);
    void DrawProgress(bool force);
    void ClearProgress();

    RunSettings m_settings;
    std::FILE* m_in;
    std::FILE* m_err;
    bool m_bInteractive;
    bool m_bProgress;
    bool m_bYes;
    std::string m_caption;
    long m_nCount = 0;
    int m_nRange = 0;
    bool m_bLineShown = false;
    // The last ReadLine met the end of the input.
    bool m_bEof = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// Makes Ctrl+C set the cancel flag; a second Ctrl+C ends the process.
void InstallInterruptHandler();

}  // namespace ts
