// A line diff for test failure messages: long texts that differ in one line are hard to read
// in the usual "expected ... actual ..." form.
#pragma once

#include <string>
#include <vector>

namespace ts::test {

// The lines of a text split at "\n" (a last line without one included).
std::vector<std::string> SplitLines(const std::string& text);

// The lines that differ between two texts (split at "\n"), each with a few lines of context:
// "-" marks a line only in expected, "+" one only in actual, "@@ line N" the start of a hunk
// (N counts lines of expected from 1). Empty when the texts are equal.
std::string LineDiff(const std::string& expected, const std::string& actual, int context = 3);

}  // namespace ts::test
