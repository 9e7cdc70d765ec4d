// Examining the entries of a directory together. Each entry's attributes and first block need
// nothing of the others, and on a large tree these system calls are most of a scan, so where
// the file system allows it several threads share them.
#pragma once

#include <string>
#include <vector>

#include "site/EntryInfo.h"

namespace ts {

class CRunContext;

// An entry as Examine found it, with the error lines it gave, held for the scan to write when
// it takes the entry in its order.
struct CExamined {
    CEntryInfo info;
    std::string errors;
};

// Examine(ctx, path, false) of every path; an empty path is left out (its record stays empty).
std::vector<CExamined> ExamineEntries(CRunContext& ctx, const std::vector<std::string>& paths);

}  // namespace ts
