// The external editor that opens reports too large for the view: found like a shell finds a
// command, and started on its own so that it outlives the run and is never waited for.
#pragma once

#include <string>
#include <vector>

namespace ts {

// The executable for an editor path: a name without "/" is looked up on PATH, a path must name
// an executable file. Empty when there is none.
std::string FindExecutable(const std::string& editor);

// Starts the editor with path as its one argument, detached: no zombie is left behind.
// False when it could not be started.
bool StartDetached(const std::string& editor, const std::string& path);
// The same for a command of several words: its first word is found like an editor path, the
// others are passed as they are, and path comes last as an argument of its own.
bool StartDetached(const std::vector<std::string>& command, const std::string& path);

// What the final report uses to reach the editor, so that tests can record instead of start.
class CEditorLauncher {
public:
    virtual ~CEditorLauncher() = default;
    // True when an executable can be found for the editor path.
    virtual bool FindEditor(const std::string& editor) = 0;
    // False when the editor could not be started on the report.
    virtual bool StartEditor(const std::string& editor, const std::string& reportPath) = 0;
    // Opens the report in the desktop's default text editor (platform/DefaultEditor.h), for a
    // user who named none; false when none could be started.
    virtual bool StartDefaultEditor(const std::string& reportPath) = 0;
};

// The launcher of the functions above.
CEditorLauncher& SystemEditorLauncher();

}  // namespace ts
