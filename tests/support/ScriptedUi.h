// A CRunUi for tests: it answers from a script and records everything the engine showed. It
// stands in for the external editor too: give it to the document as its editor launcher.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/EditorOptions.h"
#include "base/RunSettings.h"
#include "base/RunUi.h"
#include "platform/Editor.h"
#include "site/LineEndVerify.h"
#include "site/VerifyLists.h"

namespace ts::test {

class CScriptedUi : public CRunUi, public CProgress, public CEditorLauncher {
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
    // Reports handed to the desktop's default editor, and the last status note.
    std::vector<std::string> defaultEditorReports;
    std::string statusNote;

    // Answers.
    MessageBoxAnswer messageAnswer = ID_OK;
    // Cancel when the progress protocol has seen this many SetDirectory calls (0 = never).
    int cancelAfterDirectories = 0;
    std::deque<ReadOnlyAnswer> readOnlyAnswers;  // default READONLY_YES when empty
    std::function<RenameAnswer(CRunContext&, CFileNode&, int, bool)> renamePrompt;
    // Both lists answer OK with every row checked unless set.
    std::function<VerifyChoices(CVerifyNameList&)> verifyFilenames;
    std::function<VerifyChoices(const std::string&, const std::vector<LineEndRow>&)> verifyLineEnds;
    std::function<bool(EditorOptions&)> editorDialog;
    bool limitedView = true;
    bool editorFound = true;
    bool editorStarts = true;
    bool defaultEditorStarts = true;

    bool RunWizard(RunSettings& s) override {
        ++wizardRuns;
        if (finish) s = settings;
        return finish;
    }
    MessageBoxAnswer MessageBox(const std::string& text, int) override {
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
    RenameAnswer RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) override {
        return renamePrompt ? renamePrompt(ctx, node, target, inPass) : RENAME_ACCEPT;
    }
    ReadOnlyAnswer ReadOnlyPrompt(const std::string& text) override {
        readOnlyQuestions.push_back(text);
        if (readOnlyAnswers.empty()) return READONLY_YES;
        ReadOnlyAnswer a = readOnlyAnswers.front();
        readOnlyAnswers.pop_front();
        return a;
    }
    VerifyChoices VerifyFilenames(CVerifyNameList& list) override {
        ++verifyFilenamesShown;
        return verifyFilenames ? verifyFilenames(list) : VerifyChoices{true, {}};
    }
    VerifyChoices VerifyLineEnds(const std::string& directory,
                                 const std::vector<LineEndRow>& rows) override {
        ++verifyLineEndsShown;
        return verifyLineEnds ? verifyLineEnds(directory, rows) : VerifyChoices{true, {}};
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
    bool StartDefaultEditor(const std::string& path) override {
        defaultEditorReports.push_back(path);
        return defaultEditorStarts;
    }
    void SetViewText(const std::string& text, bool modified) override {
        viewText = text;
        viewModified = modified;
        statusNote.clear();
    }
    void ShowStatusNote(const std::string& text) override { statusNote = text; }
    void ShowMainWindow(bool show) override { mainWindowShown = show; }

    bool mainWindowShown = true;
    int directoriesShown = 0;
    bool cancelled = false;
};

}  // namespace ts::test
