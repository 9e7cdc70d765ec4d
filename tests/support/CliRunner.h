// Runs tessary-cli in this process with given terminal input, capturing what it prints.
#pragma once

#include <string>
#include <vector>

namespace ts::test {

struct CliResult {
    int code;
    std::string out, err;
};

// terminal says whether the input counts as a terminal (questions are asked). The profile is a
// file in a temporary directory, never the user's.
CliResult RunCliWith(std::vector<std::string> args, const std::string& input, bool terminal);

}  // namespace ts::test
