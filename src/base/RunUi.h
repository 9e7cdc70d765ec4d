// Everything a run needs from a person or a window. The desktop program implements it with
// Qt dialogs, the command line with the terminal, and tests with a script. The engine never
// sees a window: what a dialog's OK button does to the tree lives in the engine, and the
// implementations call it.
#pragma once

#include <string>

#include "base/Progress.h"

namespace ts {

struct RunSettings;
class CFileNode;
class CDirXpNode;
class CRunContext;

// Message box styles and answers.
enum {
    MB_ICON_WARNING = 0,
    MB_ICON_INFORMATION = 1,
    MB_ICON_ERROR = 2,
    MB_OK = 0,
    MB_OKCANCEL = 0x10,
};
enum { ID_OK = 1, ID_CANCEL = 2 };

// Answers of the "Rename File" prompt.
enum { RENAME_ACCEPT = 1, RENAME_CANCEL = 2, RENAME_ACCEPT_ALL = 3, RENAME_NO_RENAME = 4 };

// Answers of the "Read-only File" question.
enum {
    READONLY_YES = 6,
    READONLY_NO = 7,
    READONLY_CLOSED = 2,
    READONLY_YES_TO_ALL = 2506,
    READONLY_NO_TO_ALL = 2507,
};

// Results of "Verify ASCII Line End Conversions".
enum { VERIFY_ASCII_NONE = 0, VERIFY_ASCII_SOME = 1, VERIFY_ASCII_CANCEL = 2 };

// External editor options as the External Editor dialog holds them.
struct EditorOptions {
    std::string strEditor;
    std::string strReportName;
    int bUseAlways = 0;
};

class CRunUi {
public:
    virtual ~CRunUi() = default;

    // The setup wizard edits the settings; true only when it ended with Finish.
    virtual bool RunWizard(RunSettings& settings) = 0;

    // A message box with the application's name as caption; returns ID_OK or ID_CANCEL.
    virtual int MessageBox(const std::string& text, int style = MB_ICON_WARNING | MB_OK) = 0;

    // Where every walk shows its progress.
    virtual CProgress& Progress() = 0;

    // The "Rename File" prompt for a node; an accepted name has been stored in the node.
    virtual int RenamePrompt(CRunContext& ctx, CFileNode& node, int target, bool inPass) = 0;

    // The "Read-only File" question; text is the formatted question line.
    virtual int ReadOnlyPrompt(const std::string& text) = 0;

    // "Verify Filenames": true for OK. An implementation applies the user's unchecked rows
    // with VerifyFilenamesOk before returning true.
    virtual bool VerifyFilenames(CRunContext& ctx, CDirXpNode& top, int target) = 0;

    // "Verify ASCII Line End Conversions": one of the VERIFY_ASCII_ results.
    virtual int VerifyLineEnds(CRunContext& ctx, CDirXpNode& top) = 0;

    // True when reports go to a view of limited size, so that large ones need the editor.
    virtual bool HasLimitedView() const = 0;
    // The External Editor dialog; true for OK.
    virtual bool EditorDialog(EditorOptions& options) = 0;
    // Starts the external editor on the report; false when it could not be started.
    virtual bool StartEditor(const std::string& editor, const std::string& reportPath) = 0;
    // True when an executable can be found for the editor path.
    virtual bool FindEditor(const std::string& editor) = 0;

    // Replaces the report view's whole text; modified marks it as unsaved.
    virtual void SetViewText(const std::string& text, bool modified) = 0;

    // The main window is hidden during a run and shown again at its end.
    virtual void ShowMainWindow(bool show) = 0;
};

}  // namespace ts
