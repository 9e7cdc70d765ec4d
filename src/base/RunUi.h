// Everything a run needs from a person or a window. The desktop program implements it with
// Qt dialogs, the command line with the terminal, and tests with a script. The engine never
// sees a window, and a window never changes the tree: the verification lists hand back the
// user's choices and the engine applies them.
#pragma once

#include <string>
#include <vector>

#include "base/Progress.h"

namespace ts {

struct EditorOptions;
struct RunSettings;
class CFileNode;
class CRunContext;
class CVerifyNameList;
struct LineEndRow;

// Message box styles, combined with |.
enum MessageBoxStyle : int {
    MB_ICON_WARNING = 0,
    MB_ICON_INFORMATION = 1,
    MB_ICON_ERROR = 2,
    MB_OK = 0,
    MB_OKCANCEL = 0x10,
};
enum MessageBoxAnswer : int { ID_OK = 1, ID_CANCEL = 2 };

// Answers of the "Rename File" prompt.
enum RenameAnswer : int {
    RENAME_ACCEPT = 1,
    RENAME_CANCEL = 2,
    RENAME_ACCEPT_ALL = 3,
    RENAME_NO_RENAME = 4
};

// Answers of the "Read-only File" question.
enum ReadOnlyAnswer : int {
    READONLY_YES = 6,
    READONLY_NO = 7,
    READONLY_CLOSED = 2,
    READONLY_YES_TO_ALL = 2506,
    READONLY_NO_TO_ALL = 2507,
};

// Results of "Verify ASCII Line End Conversions".
enum VerifyAsciiResult : int {
    VERIFY_ASCII_NONE = 0,
    VERIFY_ASCII_SOME = 1,
    VERIFY_ASCII_CANCEL = 2
};

// What the user chose in a verification list: OK or Cancel, and which rows stayed checked (one
// flag per row; a missing flag counts as checked).
struct VerifyChoices {
    bool bOk = false;
    std::vector<bool> checked;
};

class CRunUi {
public:
    virtual ~CRunUi() = default;

    // The setup wizard edits the settings; true only when it ended with Finish.
    virtual bool RunWizard(RunSettings& settings) = 0;

    // A message box with the application's name as caption.
    virtual MessageBoxAnswer MessageBox(const std::string& text,
                                        int style = MB_ICON_WARNING | MB_OK) = 0;

    // Where every walk shows its progress.
    virtual CProgress& Progress() = 0;

    // The "Rename File" prompt for a node; an accepted name has been stored in the node.
    virtual RenameAnswer RenamePrompt(CRunContext& ctx, CFileNode& node, int target,
                                      bool inPass) = 0;

    // The "Read-only File" question; text is the formatted question line.
    virtual ReadOnlyAnswer ReadOnlyPrompt(const std::string& text) = 0;

    // "Verify Filenames": shows the list's rows; its Edit goes through the list.
    virtual VerifyChoices VerifyFilenames(CVerifyNameList& list) = 0;

    // "Verify ASCII Line End Conversions": shows the files of directory about to be converted.
    virtual VerifyChoices VerifyLineEnds(const std::string& directory,
                                         const std::vector<LineEndRow>& rows) = 0;

    // True when reports go to a view of limited size, so that large ones need the editor.
    virtual bool HasLimitedView() const = 0;
    // True for a front end that copies the final report out of its file itself (the command
    // line): the report is then never held whole in memory, however large the site.
    virtual bool TakesReportFile() const { return false; }
    // The External Editor dialog; true for OK.
    virtual bool EditorDialog(EditorOptions& options) = 0;

    // Replaces the report view's whole text; modified marks it as unsaved.
    virtual void SetViewText(const std::string& text, bool modified) = 0;
    // A note about the report just shown, kept beside the view (the desktop program's status
    // bar) until the next report replaces it. A front end without such a place ignores it.
    virtual void ShowStatusNote(const std::string&) {}

    // The main window is hidden during a run and shown again at its end.
    virtual void ShowMainWindow(bool show) = 0;
};

}  // namespace ts
