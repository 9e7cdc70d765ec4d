// The checks the setup wizard makes before it lets the user go on, as plain functions, so the
// desktop wizard and the command line refuse the same settings with the same words.
#pragma once

#include <string>

#include "base/RunSettings.h"
#include "platform/FileSystem.h"

namespace ts {

// A refusal: the message text (empty when accepted).
struct Refusal {
    int id = 0;
    std::string text;
    bool ok() const { return id == 0; }
};

// Makes a typed directory absolute against the current directory, removes "." and ".."
// components and a trailing separator ("/" stays "/").
std::string NormalizeDirectory(const std::string& typed);

// The wizard's directory validation (everything but the drive check).
Refusal CheckDirectoryChoice(CFileSystem& fs, const RunSettings& s);
// The drive check: the file system holding the directory refuses writes (mounted read-only,
// or the probe file may not be created for want of permission).
bool DirectoryRefusesWrites(CFileSystem& fs, const std::string& dir);
// The drive check as the wizard asks it once the directory passed: the question whether to go
// on although the directory's file system refuses the writes the chosen actions need (empty
// when it does not, or when nothing is going to be written).
Refusal CheckDriveChoice(CFileSystem& fs, const RunSettings& s);
// "You have not chosen any actions!" when no pass would run.
Refusal CheckActions(const RunSettings& s);
// The home page default: index.htm, or index.html (preferred for Macintosh and UNIX).
std::string DefaultHomePage(CFileSystem& fs, const RunSettings& s);
// The wizard's home page validation.
Refusal CheckHomePage(CFileSystem& fs, const RunSettings& s);
// The Web-extension choice of the Check URLs page for a target: the choice, adjusted to what
// the target's servers need, and which of the two conversions may be chosen.
struct WebExtChoice {
    int nRenameHtml = 0;
    bool bToWindows = true;  // "Convert  *.html, ... --> *.htm, ..."
    bool bToUnix = true;     // "Convert  *.htm, ... --> *.html, ..."
};
WebExtChoice AdjustWebExtChoice(int target, bool checkUrls, int renameHtml);
// The conversion that choosing to check URL links selects for a target, or -1 for none.
int PreferredWebExt(int target);

// The type the scan would give a file (FT_HTML for a page).
int ClassifyPath(CFileSystem& fs, const std::string& path);

}  // namespace ts
