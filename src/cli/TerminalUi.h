// The command line's user interface: messages on standard error, the progress line, questions
// on the terminal, and Ctrl+C as Cancel.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "base/RunUi.h"
#include "cli/TerminalProgress.h"

namespace ts {

struct CliOptions;

class CTerminalUi : public CRunUi {
public:
    // in/out/err are the terminal streams; interactive says whether questions may be asked.
    CTerminalUi(const RunSettings& settings, std::FILE* in, std::FILE* err, bool interactive,
                ProgressShown progress, bool yes);

    bool RunWizard(RunSettings& settings) override;
    MessageBoxAnswer MessageBox(const std::string& text, int style) override;
    CProgress& Progress() override { return m_progress; }
    RenameAnswer RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) override;
    ReadOnlyAnswer ReadOnlyPrompt(const std::string& text) override;
    VerifyChoices VerifyFilenames(CVerifyNameList& list) override;
    VerifyChoices VerifyLineEnds(const std::string& directory,
                                 const std::vector<LineEndRow>& rows) override;
    bool HasLimitedView() const override { return false; }
    bool TakesReportFile() const override { return true; }
    bool EditorDialog(EditorOptions&) override { return false; }
    void SetViewText(const std::string& text, bool modified) override;
    void ShowMainWindow(bool) override {}

    // Asks a yes/no question on the terminal; false without a terminal.
    bool AskYesNo(const std::string& question);

private:
    std::string ReadLine();
    bool ConfirmRows(const char* question, const char* leftOut, std::vector<bool>& checked);

    RunSettings m_settings;
    std::FILE* m_in;
    std::FILE* m_err;
    bool m_bInteractive;
    bool m_bYes;
    CTerminalProgress m_progress;
    // The last ReadLine met the end of the input.
    bool m_bEof = false;
};

}  // namespace ts
