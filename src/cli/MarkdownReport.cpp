// A short summary for a CI job's page: the counts, the missing targets and the first findings
// of each kind. The full lists belong in the text or JSON report.
#include <algorithm>

#include "cli/ReportFormats.h"

namespace ts {
namespace {

constexpr size_t kFirstFindings = 10;
constexpr size_t kFirstTargets = 20;

// Text from the site as a code span that nothing in it can break: controls become "?", the
// fence is longer than any run of backticks inside, and "|" cannot end a table cell.
std::string Code(const std::string& text) {
    std::string body;
    size_t run = 0, longest = 0;
    for (char c : ValidUtf8(text)) {
        run = c == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            body += '?';
        else if (c == '|')
            body += "\\|";
        else
            body += c;
    }
    const std::string fence(longest + 1, '`');
    return fence + " " + body + " " + fence;
}

std::string Outcome(const FindingsReport& r) {
    if (!r.completed) return "the run did not finish (exit status 3)";
    if (r.exitStatus == 0) return "no problems found (exit status 0)";
    return "problems found (exit status " + std::to_string(r.exitStatus) + ")";
}

std::string CountTable(const FindingsReport& r) {
    const std::vector<int> counts = CountsByKind(r.findings);
    std::string out = "| Findings | Count |\n|---|---:|\n";
    out += "| Pages checked | " + std::to_string(r.checked.size()) + " |\n";
    for (int k = 0; k < kFindingKinds; ++k)
        if (counts[static_cast<size_t>(k)] > 0)
            out += std::string("| ") + KindTitle(static_cast<FindingKind>(k)) + " | " +
                   std::to_string(counts[static_cast<size_t>(k)]) + " |\n";
    return out;
}

std::string TargetTable(const FindingsReport& r) {
    const std::vector<MissingGroup> groups = MissingGroups(r.findings);
    if (groups.empty()) return std::string();
    std::string out = "\n#### Missing targets\n\n| Missing file | Links |\n|---|---:|\n";
    for (size_t i = 0; i < groups.size() && i < kFirstTargets; ++i)
        out += "| " + Code(SitePath(r, groups[i].target)) + " | " +
               std::to_string(groups[i].referrers.size()) + " |\n";
    if (groups.size() > kFirstTargets)
        out += "\n…and " + std::to_string(groups.size() - kFirstTargets) + " more.\n";
    return out;
}

std::string Where(const Finding& f) {
    if (f.line <= 0) return std::string();
    std::string at = " line " + std::to_string(f.line);
    if (f.column > 0) at += ", column " + std::to_string(f.column);
    return at;
}

std::string FirstFindings(const FindingsReport& r, FindingKind kind, int count) {
    if (count == 0 || kind == FindingKind::ExternalUrl) return std::string();
    std::string out = std::string("\n#### ") + KindTitle(kind);
    if (static_cast<size_t>(count) > kFirstFindings)
        out +=
            " (the first " + std::to_string(kFirstFindings) + " of " + std::to_string(count) + ")";
    out += "\n\n";
    size_t listed = 0;
    for (const Finding& f : r.findings) {
        if (f.kind != kind) continue;
        if (listed++ == kFirstFindings) break;
        out += "- " + Code(SitePath(r, f.file)) + Where(f) + ": " + Code(FindingText(r, f)) + "\n";
    }
    return out;
}

}  // namespace

std::string MarkdownReport(const FindingsReport& r) {
    std::string out = "### Tessary: " + Code(r.settings.Directory) + "\n\n";
    out += "**Result:** " + Outcome(r) + "\n\n";
    if (!r.completed) out += UnfinishedSentence(r) + "\n\n";
    out += CountTable(r);
    out += TargetTable(r);
    const std::vector<int> counts = CountsByKind(r.findings);
    for (int k = 0; k < kFindingKinds; ++k)
        out += FirstFindings(r, static_cast<FindingKind>(k), counts[static_cast<size_t>(k)]);
    return out;
}

}  // namespace ts
