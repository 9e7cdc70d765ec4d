// tessary-cli --list-runs: the journaled runs, the state each ended in and what its journal
// takes, so that a user sees what can be undone before typing --undo.
#pragma once

#include <cstdio>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

// Lists the runs of dir (every run when dir is empty) on out; the exit status.
int ListRuns(CFileSystem& fs, const std::string& dir, std::FILE* out, std::FILE* err);

}  // namespace ts
