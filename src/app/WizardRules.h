// The checks the setup wizard makes before it lets the user go on, as plain functions, so the
// desktop wizard and the command line refuse the same settings with the same words.
#pragma once

#include <string>

#include "app/RunSettings.h"
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
// The drive check: the file system holding the directory refuses writes.
bool DirectoryRefusesWrites(CFileSystem& fs, const std::string& dir);
// "You have not chosen any actions!" when no pass would run.
Refusal CheckActions(const RunSettings& s);
// The home page default: index.htm, or index.html (preferred for Macintosh and UNIX).
std::string DefaultHomePage(CFileSystem& fs, const RunSettings& s);
// The wizard's home page validation.
Refusal CheckHomePage(CFileSystem& fs, const RunSettings& s);
// The type the scan would give a file (FT_HTML for a page).
int ClassifyPath(CFileSystem& fs, const std::string& path);

}  // namespace ts
