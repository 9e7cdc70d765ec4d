// JUnit XML for CI dashboards: one test case per checked page, failing with its findings, and
// one for every other file that has a problem (an unused file, one that could not be read).
#include <map>

#include "base/Strings.h"
#include "cli/ReportFormats.h"
#include "platform/Text.h"

namespace ts {
namespace {

// Text from the site as XML character data: markup characters escaped, controls that XML
// cannot hold and bytes that are no UTF-8 replaced, so that the document always parses.
std::string Xml(const std::string& text) {
    std::string clean = ValidUtf8(text);
    for (char& c : clean)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7f) c = '?';
    return HtmlEscape(clean);
}

struct Case {
    std::string name;
    const char* group;
    std::vector<const Finding*> failures;
};

// The cases in order: the pages as walked, then the other files with findings.
std::vector<Case> Cases(const FindingsReport& r) {
    std::vector<Case> cases;
    std::map<std::string, size_t> index;
    for (const std::string& page : r.checked)
        if (index.emplace(page, cases.size()).second) cases.push_back({page, "pages", {}});
    for (const Finding& f : r.findings) {
        if (SeverityOf(f.kind) == Severity::Note) continue;
        auto [it, added] = index.emplace(f.file, cases.size());
        if (added) cases.push_back({f.file, "files", {}});
        cases[it->second].failures.push_back(&f);
    }
    return cases;
}

std::string Failure(const FindingsReport& r, const Case& c) {
    std::string body;
    for (const Finding* f : c.failures) {
        if (f->line > 0) body += "line " + std::to_string(f->line) + ": ";
        body += std::string(KindName(f->kind)) + ": " + FindingText(r, *f) + "\n";
    }
    const std::string message =
        std::to_string(c.failures.size()) + (c.failures.size() == 1 ? " finding" : " findings");
    return "      <failure type=\"" + std::string(KindName(c.failures.front()->kind)) +
           "\" message=\"" + message + "\">" + Xml(body) + "</failure>\n";
}

// A case for each pass a run that ended early did not finish, in error: a dashboard must not
// count the pages it never checked as passed.
std::vector<std::string> UnfinishedCases(const FindingsReport& r) {
    std::vector<std::string> cases;
    if (r.completed) return cases;
    for (RunPassBits pass : PassesIn(r.passes.Unfinished())) {
        const char* how = (r.passes.CutShort() & pass) ? "cut short" : "not run";
        cases.push_back("    <testcase classname=\"tessary.passes\" name=\"" +
                        std::string(PassKey(pass)) + "\">\n      <error type=\"unfinished\" " +
                        "message=\"" + how + "\">" + Xml(LoadString(IDS_SUMMARY_UNFINISHED)) +
                        "</error>\n    </testcase>\n");
    }
    return cases;
}

}  // namespace

std::string JunitReport(const FindingsReport& r) {
    const std::vector<Case> cases = Cases(r);
    const std::vector<std::string> unfinished = UnfinishedCases(r);
    size_t failing = 0;
    for (const Case& c : cases)
        failing += c.failures.empty() ? 0 : 1;
    const std::string counts = " tests=\"" + std::to_string(cases.size() + unfinished.size()) +
                               "\" failures=\"" + std::to_string(failing) + "\" errors=\"" +
                               std::to_string(unfinished.size()) + "\"";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"tessary-cli\"" + counts + ">\n";
    out += "  <testsuite name=\"" + Xml(r.settings.Directory) + "\"" + counts + " skipped=\"0\">\n";
    for (const Case& c : cases) {
        out += "    <testcase classname=\"tessary." + std::string(c.group) + "\" name=\"" +
               Xml(SitePath(r, c.name)) + "\"";
        if (c.failures.empty()) {
            out += "/>\n";
            continue;
        }
        out += ">\n" + Failure(r, c) + "    </testcase>\n";
    }
    for (const std::string& c : unfinished)
        out += c;
    out += "  </testsuite>\n</testsuites>\n";
    return out;
}

}  // namespace ts
