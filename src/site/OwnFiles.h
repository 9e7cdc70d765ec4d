// The files the program itself puts into a site: its logs, its reports and its temporary
// files. They are not site files: no pass renames, converts, parses, lists or offers them, so
// that one run does not change what the next one reports.
#pragma once

#include <string_view>

#include "platform/FileSystem.h"

namespace ts {

// True for a name the program writes: "RENAME.LOG" and temporary files (".ts_...") in any
// directory; the external-URL page, "REPORT.TSY", "REPORT_<n>.TSY", "STATUS.TSY" and
// "ERROR.TSY" in the top directory, where the program puts them. Names are matched exactly,
// case included: "rename.log" is the user's.
bool IsOwnFileName(std::string_view name, bool bTop);

// The process id in the name of a temporary file or link this program makes while it replaces
// a file's content or a link (".ts_<pid>_<6 letters>", ".ts_link_<pid>_<6 letters>"); 0 for
// any other name. Such a file is only ever a copy: the entry it was to replace still exists.
int LeftoverPid(std::string_view name);
// True when an entry named name that st describes has the shape of such a leftover: a link
// for ".ts_link_", else a plain file with no other name, and the current user's.
bool HasLeftoverShape(std::string_view name, const FileStat& st);

class CDirNode;
class CTreeWriter;

// Removes the temporary files and links that runs killed before they could clean up left in
// the scanned tree, each with a report line; those of a process still running are kept.
void RemoveLeftovers(CTreeWriter& writer, CDirNode& top);

}  // namespace ts
