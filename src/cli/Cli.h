// tessary-cli: one run from the command line.
#pragma once

#include <cstdio>

#include "platform/FileSystem.h"

namespace ts {

// Exit statuses.
enum {
    EXIT_CLEAN = 0,     // the run completed and reported no problem
    EXIT_PROBLEMS = 1,  // it completed and reported problems
    EXIT_USAGE = 2,     // bad command line or directory; nothing was done
    EXIT_EARLY = 3,     // the run ended early; a partial report was printed
};

struct CliStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool interactive = false;  // questions may be asked on in/err
    bool progress = false;     // err is a terminal for the progress line
    bool outTerminal = false;  // out is a terminal: the report is shown with its controls escaped
};

int RunCli(int argc, const char* const* argv, const CliStreams& streams, CFileSystem& fs);

}  // namespace ts
