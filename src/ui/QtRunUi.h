// The run interface of the desktop program: message boxes, the progress dialog, the External
// Editor dialog and the report view, all on the one user-interface thread. The external editor
// itself is started by the engine.
#pragma once

#include "base/RunUi.h"
#include "ui/QtProgress.h"

class QWidget;

namespace ts {

class CFileSystem;
class CMainFrame;

class CQtRunUi : public CRunUi {
public:
    CQtRunUi();
    ~CQtRunUi() override;

    void SetFrame(CMainFrame* frame) { m_pFrame = frame; }
    // The file system the wizard checks the directory and home page on (the real one unless
    // set).
    void SetFileSystem(CFileSystem& fs) { m_pFs = &fs; }
    // The one progress dialog; created by the first walk.
    CProgDlg* ProgressDialog() const { return m_progress.Dialog(); }

    bool RunWizard(RunSettings& settings) override;
    MessageBoxAnswer MessageBox(const std::string& text, int style) override;
    CProgress& Progress() override { return m_progress; }
    RenameAnswer RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) override;
    ReadOnlyAnswer ReadOnlyPrompt(const std::string& text) override;
    VerifyChoices VerifyFilenames(CVerifyNameList& list) override;
    VerifyChoices VerifyLineEnds(const std::string& directory,
                                 const std::vector<LineEndRow>& rows) override;
    bool HasLimitedView() const override { return true; }
    bool EditorDialog(EditorOptions& options) override;
    void SetViewText(const std::string& text, bool modified) override;
    void ShowStatusNote(const std::string& text) override;
    void ShowMainWindow(bool show) override;

private:
    // The window a box or dialog belongs to: whatever the user sees at the moment.
    QWidget* Owner() const;

    CMainFrame* m_pFrame = nullptr;
    CFileSystem* m_pFs;
    CQtProgress m_progress;
};

}  // namespace ts
