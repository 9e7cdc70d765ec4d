// The machine-readable forms of a run's report (--format): JSON, SARIF for code-scanning
// dashboards, workflow annotations, a Markdown summary for a CI job page and JUnit XML. Each is
// made whole from the run's findings once the run has ended.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Findings.h"
#include "base/RunSettings.h"
#include "driver/RunPasses.h"

namespace ts {

enum class ReportFormat { Text, Json, Sarif, Github, Markdown, Junit };

// The names --format takes, in the order --help lists them.
std::vector<std::string> FormatNames();
std::optional<ReportFormat> FormatNamed(const std::string& name);

// What a machine-readable report is made from.
struct FindingsReport {
    RunSettings settings;
    std::vector<Finding> findings;     // CFindings::TakeSorted
    std::vector<std::string> checked;  // pages checked, in walk order
    bool completed = false;            // the run was neither cancelled nor stopped by a fault
    bool failed = false;               // stopped by a fault (low memory, an error)
    RunPasses passes;                  // what the run was to do and what it finished
    int exitStatus = 0;
    std::string workingDirectory;  // annotations name files relative to it
};

// The report in the format; Text gives "".
std::string FormatReport(ReportFormat format, const FindingsReport& report);

std::string JsonReport(const FindingsReport& report);
std::string SarifReport(const FindingsReport& report);
std::string GithubReport(const FindingsReport& report);
std::string MarkdownReport(const FindingsReport& report);
std::string JunitReport(const FindingsReport& report);

// Helpers the formats share.

// A path relative to dir; one outside it stays whole.
std::string RelativeTo(std::string dir, const std::string& path);
// A path relative to the site's directory ("docs/a b.html"); one outside it stays whole.
std::string SitePath(const FindingsReport& report, const std::string& path);
// Findings counted by kind, indexed by FindingKind.
std::vector<int> CountsByKind(const std::vector<Finding>& findings);
// The broken links grouped by the path they name, most links first (then by path).
struct MissingGroup {
    std::string target;
    std::vector<const Finding*> referrers;
};
std::vector<MissingGroup> MissingGroups(const std::vector<Finding>& findings);
// Whether a finding is a problem (error), worth a look (warning) or only listed (note).
enum class Severity { Error, Warning, Note };
Severity SeverityOf(FindingKind kind);
// "error" or "warning" for the kind, note for what is only listed: each form names it its way.
const char* SeverityWord(FindingKind kind, const char* note);
// A finding in one line of text: its message with its link, missing target or new name.
std::string FindingText(const FindingsReport& report, const Finding& finding);
// Text from the site as valid UTF-8: each byte that starts no valid sequence becomes U+FFFD.
std::string ValidUtf8(const std::string& text);
// "complete", "cancelled" or "failed".
const char* EndedWord(const FindingsReport& report);
// What a run that ended early did not get to, as the text report says it ("The run ended
// early, so the site was not checked whole.  Not done: unused files (cut short)."); "" for a
// run that ran to its end.
std::string UnfinishedSentence(const FindingsReport& report);
// A short English description of a kind ("Broken local links").
const char* KindTitle(FindingKind kind);
inline constexpr int kFindingKinds = 10;

}  // namespace ts
