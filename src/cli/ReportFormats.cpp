#include "cli/ReportFormats.h"

#include <algorithm>
#include <map>

#include "base/Strings.h"
#include "platform/Text.h"

namespace ts {
namespace {

struct FormatRow {
    const char* name;
    ReportFormat format;
};
constexpr FormatRow kFormats[] = {
    {"text", ReportFormat::Text},         {"json", ReportFormat::Json},
    {"sarif", ReportFormat::Sarif},       {"github", ReportFormat::Github},
    {"markdown", ReportFormat::Markdown}, {"junit", ReportFormat::Junit}};

}  // namespace

std::vector<std::string> FormatNames() {
    std::vector<std::string> names;
    for (const FormatRow& row : kFormats)
        names.push_back(row.name);
    return names;
}

std::optional<ReportFormat> FormatNamed(const std::string& name) {
    for (const FormatRow& row : kFormats)
        if (name == row.name) return row.format;
    return std::nullopt;
}

std::string FormatReport(ReportFormat format, const FindingsReport& report) {
    switch (format) {
        case ReportFormat::Text:
            return std::string();
        case ReportFormat::Json:
            return JsonReport(report);
        case ReportFormat::Sarif:
            return SarifReport(report);
        case ReportFormat::Github:
            return GithubReport(report);
        case ReportFormat::Markdown:
            return MarkdownReport(report);
        case ReportFormat::Junit:
            return JunitReport(report);
    }
    return std::string();
}

const char* EndedWord(const FindingsReport& report) {
    if (report.completed) return "complete";
    return report.failed ? "failed" : "cancelled";
}

std::string UnfinishedSentence(const FindingsReport& report) {
    if (report.completed) return std::string();
    const std::string list = UnfinishedText(report.passes);
    return list.empty() ? std::string(LoadString(IDS_SUMMARY_UNFINISHED))
                        : FormatMessage(IDS_SUMMARY_UNFINISHED_LIST, list);
}

std::string RelativeTo(std::string dir, const std::string& path) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    if (!dir.empty() && path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0)
        return path.substr(dir.size());
    return path;
}

std::string SitePath(const FindingsReport& report, const std::string& path) {
    return RelativeTo(report.settings.Directory, path);
}

std::vector<int> CountsByKind(const std::vector<Finding>& findings) {
    std::vector<int> counts(kFindingKinds, 0);
    for (const Finding& f : findings)
        ++counts[static_cast<size_t>(f.kind)];
    return counts;
}

std::vector<MissingGroup> MissingGroups(const std::vector<Finding>& findings) {
    std::map<std::string, std::vector<const Finding*>> byTarget;
    for (const Finding& f : findings)
        if (f.kind == FindingKind::BrokenLink) byTarget[f.target].push_back(&f);
    std::vector<MissingGroup> groups;
    for (auto& [target, referrers] : byTarget)
        groups.push_back({target, std::move(referrers)});
    std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        return a.referrers.size() > b.referrers.size();
    });
    return groups;
}

std::string FindingText(const FindingsReport& r, const Finding& f) {
    std::string text = f.message;
    if (!f.link.empty()) text += ": " + f.link;
    if (f.kind == FindingKind::BrokenLink) text += " (no file " + SitePath(r, f.target) + ")";
    if (!f.newName.empty()) text += ": " + f.newName;
    return text;
}

std::string ValidUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n =
            static_cast<unsigned char>(text[i]) < 0x80 ? 1 : Utf8SequenceLength(text, i);
        out += n ? text.substr(i, n) : "\xEF\xBF\xBD";
        i += n ? n : 1;
    }
    return out;
}

Severity SeverityOf(FindingKind kind) {
    switch (kind) {
        case FindingKind::SyntaxError:
        case FindingKind::BrokenLink:
        case FindingKind::BrokenFragment:
        case FindingKind::FileProblem:
        case FindingKind::ExternalFailed:
            return Severity::Error;
        case FindingKind::UnusedFile:
        case FindingKind::NewName:
        case FindingKind::ExternalMoved:
            return Severity::Warning;
        case FindingKind::ExternalUrl:
        case FindingKind::ExternalUnchecked:
            return Severity::Note;
    }
    return Severity::Error;
}

const char* SeverityWord(FindingKind kind, const char* note) {
    switch (SeverityOf(kind)) {
        case Severity::Error:
            return "error";
        case Severity::Warning:
            return "warning";
        case Severity::Note:
            return note;
    }
    return "error";
}

const char* KindTitle(FindingKind kind) {
    switch (kind) {
        case FindingKind::SyntaxError:
            return "HTML syntax errors";
        case FindingKind::BrokenLink:
            return "Unresolved local links";
        case FindingKind::BrokenFragment:
            return "Unresolved fragments";
        case FindingKind::UnusedFile:
            return "Files not used in the site";
        case FindingKind::ExternalUrl:
            return "External URLs";
        case FindingKind::NewName:
            return "New names for the target";
        case FindingKind::FileProblem:
            return "File problems";
        case FindingKind::ExternalFailed:
            return "External URLs that failed";
        case FindingKind::ExternalMoved:
            return "External URLs that moved";
        case FindingKind::ExternalUnchecked:
            return "External URLs that could not be checked";
    }
    return "";
}

}  // namespace ts
