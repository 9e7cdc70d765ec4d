// Examining an entry before its node is made: its attributes, and for a file its first block,
// which decides the type and the line-end convention.
#pragma once

#include <string>

#include "site/EntryInfo.h"

namespace ts {

class CRunContext;
class CReportStream;

// Reads what a node needs to know about the entry at path. bTop is set for the directory a
// run was given, which is taken as named even through a link. A file that cannot be opened or
// read gets an error line and stays FT_UNKNOWN. Without a context the entry is missing.
CEntryInfo Examine(CRunContext* ctx, const std::string& path, bool bTop);
// The same with the error lines written to errors (another thread's, held for the scan).
CEntryInfo Examine(CRunContext& ctx, const std::string& path, bool bTop, CReportStream& errors);

}  // namespace ts
