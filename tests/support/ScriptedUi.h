// A CRunUi for tests: it answers from a script and records everything the engine showed.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "base/RunUi.h"

namespace ts::test {

class CScriptedUi : public CRunUi, public CProgress {
public:
    // The settings the "wizard" hands back; finish = false plays Cancel.
    RunSettings settings;
    bool finish = true;

    // Recorded.
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<std::string> filesShown;
    std::string viewText;
    bool viewModified = false;
    int wizardRuns = 0;
    int verifyFilenamesShown = 0;
    int verifyLineEndsShown = 0;
    int editorDialogsShown = 0;
    std::vector<std::string> readOnlyQuestions;
    std::vector<std::string> startedEditors;

    // Answers.
    int messageAnswer = ID_OK;
    // Cancel when the progress protocol has seen this many SetDirectory calls (0 = never).
    int cancelAfterDirectories = 0;
    std::deque<int> readOnlyAnswers;  // default READONLY_YES when empty
    std::function<int(CRunContext&, CFileNode&, int, bool)> renamePrompt;
    std::function<bool(CRunContext&, CDirXpNode&, int)> verifyFilenames;
    std::function<int(CRunContext&, CDirXpNode&)> verifyLineEnds;
    std::function<bool(EditorOptions&)> editorDialog;
    bool limitedView = true;
    bool editorFound = true;
    bool editorStarts = true;

    bool RunWizard(RunSettings& s) override {
        ++wizardRuns;
        if (finish) s = settings;
        return finish;
    }
    int MessageBox(const std::string& text, int) override {
        messages.push_back(text);
        return messageAnswer;
    }
    CProgress& Progress() override { return *this; }
    void Begin(const std::string& caption, int) override { captions.push_back(caption); }
    bool SetDirectory(const std::string&) override {
        ++directoriesShown;
        if (cancelAfterDirectories > 0 && directoriesShown >= cancelAfterDirectories)
            cancelled = true;
        return cancelled;
    }
    void SetFile(const std::string& path) override { filesShown.push_back(path); }
    void End() override { cancelled = false; }
    int RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) override {
        return renamePrompt ? renamePrompt(ctx, node, target, inPass) : RENAME_ACCEPT;
    }
    int ReadOnlyPrompt(const std::string& text) override {
        readOnlyQuestions.push_back(text);
        if (readOnlyAnswers.empty()) return READONLY_YES;
        int a = readOnlyAnswers.front();
        readOnlyAnswers.pop_front();
        return a;
    }
    bool VerifyFilenames(CRunContext& ctx, CDirXpNode& top, int target) override {
        ++verifyFilenamesShown;
        return verifyFilenames ? verifyFilenames(ctx, top, target) : true;
    }
    int VerifyLineEnds(CRunContext& ctx, CDirXpNode& top) override {
        ++verifyLineEndsShown;
        return verifyLineEnds ? verifyLineEnds(ctx, top) : VERIFY_ASCII_SOME;
    }
    bool HasLimitedView() const override { return limitedView; }
    bool EditorDialog(EditorOptions& o) override {
        ++editorDialogsShown;
        return editorDialog ? editorDialog(o) : false;
    }
    bool StartEditor(const std::string& editor, const std::string& path) override {
        startedEditors.push_back(editor + " " + path);
        return editorStarts;
    }
    bool FindEditor(const std::string&) override { return editorFound; }
    void SetViewText(const std::string& text, bool modified) override {
        viewText = text;
        viewModified = modified;
    }
    void ShowMainWindow(bool show) override { mainWindowShown = show; }

    bool mainWindowShown = true;
    int directoriesShown = 0;
    bool cancelled = false;
};

}  // namespace ts::test
