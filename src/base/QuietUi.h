// A user interface that shows nothing and asks nobody: every question gets the answer that
// lets the work go on without changing anything the user did not ask for. Used where entries
// are only examined (the wizard's checks) and by the benchmarks.
#pragma once

#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "base/RunUi.h"

namespace ts {

class CQuietUi : public CRunUi, public CProgress {
public:
    // The settings a "wizard" hands back.
    RunSettings settings;
    std::string viewText;

    bool RunWizard(RunSettings& s) override {
        s = settings;
        return true;
    }
    MessageBoxAnswer MessageBox(const std::string&, int) override { return ID_OK; }
    CProgress& Progress() override { return *this; }
    void Begin(const std::string&, int) override {}
    bool SetDirectory(const std::string&) override { return false; }
    void SetFile(const std::string&) override {}
    void End() override {}
    RenameAnswer RenamePrompt(CRunContext&, CFileNode&, int, bool) override {
        return RENAME_ACCEPT;
    }
    ReadOnlyAnswer ReadOnlyPrompt(const std::string&) override { return READONLY_NO; }
    // OK with every row checked.
    VerifyChoices VerifyFilenames(CVerifyNameList&) override { return {true, {}}; }
    VerifyChoices VerifyLineEnds(const std::string&, const std::vector<LineEndRow>&) override {
        return {true, {}};
    }
    bool HasLimitedView() const override { return false; }
    bool EditorDialog(EditorOptions&) override { return false; }
    void SetViewText(const std::string& text, bool) override { viewText = text; }
    void ShowMainWindow(bool) override {}
};

}  // namespace ts
