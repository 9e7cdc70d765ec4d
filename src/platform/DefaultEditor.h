// The desktop's default text editor, for reports when the user named no editor of their own:
// $VISUAL, else $EDITOR (each a command that may carry arguments, "code --wait"), else
// xdg-open, which hands the file to whatever the desktop opens it with. No shell is involved:
// the words are split here and the report's path is always an argument of its own.
#pragma once

#include <string>
#include <vector>

namespace ts {

// The words of a command as a POSIX shell splits them, with nothing expanded: blanks separate
// words, single quotes keep everything, double quotes keep all but "\" before one of "\"\\$`",
// and a "\" outside quotes keeps the next character. Empty for a blank command or one whose
// quotes are not closed.
std::vector<std::string> SplitCommandWords(const std::string& command);

// The commands to try in turn: $VISUAL and $EDITOR where they hold words, then xdg-open.
std::vector<std::vector<std::string>> DefaultEditorCommands();

// Starts the first of those commands that can be started, detached, with path as its last
// argument; false when none could be.
bool StartDefaultEditor(const std::string& path);

}  // namespace ts
