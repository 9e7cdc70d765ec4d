#include "support/TextDiff.h"

#include <algorithm>
#include <vector>

namespace ts::test {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string LineDiff(const std::string& expected, const std::string& actual, int context) {
    if (expected == actual) return {};
    std::vector<std::string> a = SplitLines(expected), b = SplitLines(actual);
    size_t n = a.size(), m = b.size();
    // Longest common subsequence from the back, so the walk below can go forwards. Reports
    // are a few hundred lines: the quadratic table is small.
    std::vector<std::vector<int>> lcs(n + 1, std::vector<int>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] =
                a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);

    struct Row {
        char mark;
        size_t line;  // in expected, from 0
        const std::string* text;
    };
    std::vector<Row> rows;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            rows.push_back({' ', i, &a[i]});
            ++i, ++j;
        } else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1])) {
            rows.push_back({'-', i, &a[i]});
            ++i;
        } else {
            rows.push_back({'+', i, &b[j]});
            ++j;
        }
    }
    if (expected.size() != actual.size() &&
        std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.mark == ' '; }))
        return "(the texts differ only in their last line end)\n";

    std::vector<bool> show(rows.size(), false);
    for (size_t k = 0; k < rows.size(); ++k) {
        if (rows[k].mark == ' ') continue;
        size_t from = k >= static_cast<size_t>(context) ? k - context : 0;
        size_t to = std::min(rows.size(), k + context + 1);
        for (size_t x = from; x < to; ++x)
            show[x] = true;
    }
    std::string out;
    for (size_t k = 0; k < rows.size(); ++k) {
        if (!show[k]) continue;
        if (k == 0 || !show[k - 1]) out += "@@ line " + std::to_string(rows[k].line + 1) + "\n";
        out += rows[k].mark;
        out += *rows[k].text;
        out += "\n";
    }
    return out;
}

}  // namespace ts::test
