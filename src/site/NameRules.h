// The file-name rules of each target file system: which characters a name may hold, its
// case, its length limits and the separator used when a name is numbered to make it unique.
#pragma once

#include <string>

namespace ts {

class CFileNode;
class CRunContext;

// How a target wants letters.
enum { CASE_KEEP = 0, CASE_UPPER = 1, CASE_LOWER = 2 };

struct TargetRules {
    const char* strPromptName;  // in "This dialog will only let you enter valid %1 filenames."
    const char* strInvalid;     // characters removed from names (InvalidChars)
    int nCase;
    int nMaxName;  // bytes of a name
    int nMaxPath;  // bytes of the directory prefix plus the name
    char chSep;    // numbering separator: NAME~1.HTM
    bool b83;      // at most one dot, 8 characters before it and 3 after it
};

// The rules of a target; an unknown value gets those of TFS_UNSPECIFIED.
const TargetRules& RulesOf(int nTarget);
std::string InvalidChars(int nTarget);

// Characters no name may ever hold, whatever the target: the path separator would move the
// entry out of its directory.
inline constexpr char kNeverInName[] = "/";

// The longest new name an entry may get: the name limit, or less when the directory path
// after the pending renames of its ancestors leaves less room.
int MaxNewNameLength(const CFileNode& node, int nTarget);

// Bytes of the directory path an entry's name follows, with the pending new names of its
// ancestors and the separators.
int DirPrefixLength(const CFileNode& node);

// Sets the entry's new name to a valid name for the target that is unique in its directory;
// true when it differs from the current name. An entry whose directory leaves no room for any
// name is reported and keeps its name.
bool SuggestName(CFileNode& node, int nTarget);

// True for "." and "..", which name directories themselves rather than an entry.
bool IsDotName(const std::string& name);

// True when the target cannot hold the name although each character may be typed: a Windows
// device name or a name ending in a blank or a dot (DOS, Windows 95, NTFS), a short name
// with a character outside ASCII (DOS, ISO 9660).
bool TargetRefuses(int nTarget, const std::string& name);

// True when the target can hold name as it is: a name the target's rules would leave unchanged.
bool TargetHolds(int nTarget, const std::string& name);

// Sets an entry's new name. Names are always set through here so that the directory's index
// of names (used to make new names unique) stays current.
void SetNewName(CFileNode& node, std::string name);

// Writes the heading of the entries the user chose not to rename, once per run.
void WriteNotRenamedHeading(CRunContext& ctx);

}  // namespace ts
