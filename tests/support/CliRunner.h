// Runs tessary-cli in this process with given terminal input, capturing what it prints.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts::test {

struct CliResult {
    int code;
    std::string out, err;
};

// terminal says whether the input counts as a terminal (questions are asked). The profile is a
// file in a temporary directory, never the user's.
CliResult RunCliWith(std::vector<std::string> args, const std::string& input, bool terminal,
                     CFileSystem& fs = RealFileSystem());

// Starts the real tessary-cli program with args, its descriptors set up by fa; posix_spawn's
// result (0 when it started, pid then set).
int SpawnCli(const std::vector<std::string>& args, const posix_spawn_file_actions_t& fa,
             pid_t& pid);

}  // namespace ts::test
