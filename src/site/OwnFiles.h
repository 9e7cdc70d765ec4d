// The files the program itself puts into a site: its logs, its reports and its temporary
// files. They are not site files: no pass renames, converts, parses, lists or offers them, so
// that one run does not change what the next one reports.
#pragma once

#include <string_view>

namespace ts {

// True for a name the program writes: "RENAME.LOG" and temporary files (".ts_...") in any
// directory; the external-URL page, "REPORT.TSY", "REPORT_<n>.TSY", "STATUS.TSY" and
// "ERROR.TSY" in the top directory, where the program puts them. Names are matched exactly,
// case included: "rename.log" is the user's.
bool IsOwnFileName(std::string_view name, bool bTop);

}  // namespace ts
