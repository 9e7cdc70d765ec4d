// A tree written out as text, one sorted line per entry, so that two states of a tree compare
// as strings: what undo must give back byte for byte.
#pragma once

#include <string>

namespace ts::test {

// Every entry below dir with its mode, and a file's content or a link's text; with times, a
// file's modification time (seconds) too.
std::string TreeSnapshot(const std::string& dir, bool times = false);

// The first line where two snapshots differ, each cut to 300 bytes: a whole diff of large trees
// is too much to read.
std::string FirstDifference(const std::string& a, const std::string& b);

}  // namespace ts::test

#define EXPECT_SAME_TREE(a, b) EXPECT_TRUE((a) == (b)) << ::ts::test::FirstDifference(a, b)
