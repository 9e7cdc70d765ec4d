// The JSON report: one document with the settings, the counts and every finding, the broken
// links also grouped by the path they name (docs/report-json.md, docs/report.schema.json).
#include <nlohmann/json.hpp>

#include "cli/OptionNames.h"
#include "cli/ReportFormats.h"

namespace ts {
namespace {

using json = nlohmann::ordered_json;

// Names and paths come from the site and may be any bytes: text that is no UTF-8 is written
// with U+FFFD in place of its bad bytes rather than failing the report.
std::string Compact(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A member of the document on its line; arrays of records with one record a line, so that a
// site's hundred thousand findings are written one at a time and stay easy to grep.
void Member(std::string& out, const char* key, const json& value, bool last = false) {
    out += std::string("  \"") + key + "\": " + Compact(value) + (last ? "\n" : ",\n");
}
template <class Records>
void Array(std::string& out, const char* key, const Records& records, bool last = false) {
    out += std::string("  \"") + key + "\": [";
    bool first = true;
    for (const json& record : records) {
        out += first ? "\n    " : ",\n    ";
        out += Compact(record);
        first = false;
    }
    out += first ? "]" : "\n  ]";
    out += last ? "\n" : ",\n";
}

json Settings(const FindingsReport& r) {
    const RunSettings& s = r.settings;
    return {{"directory", s.Directory},
            {"homePage", s.FilesOnly ? json(nullptr) : json(SitePath(r, s.HomePage))},
            {"target", NameOf(TargetNames(), s.Target)},
            {"lineEnds", NameOf(LineEndNames(), s.LineEnd)},
            {"webExtensions", NameOf(WebExtNames(), s.RenameHtml)},
            {"rename", s.Rename},
            {"subdirectories", s.UseSubdirs},
            {"checkLinks", !s.FilesOnly},
            {"checkFragments", s.CheckFragments},
            {"reportUnresolved", s.ReportUnresolvedRefs},
            {"reportUnused", s.ReportUnusedFiles},
            {"reportExternal", s.ReportExternalRefs},
            {"siteUrls", s.SiteUrls},
            {"indexFiles", s.IndexFiles},
            {"fallbackExtensions", s.FallbackExtensions},
            {"excluded", s.Excluded}};
}

json Counts(const FindingsReport& r) {
    json counts = json::object();
    const std::vector<int> n = CountsByKind(r.findings);
    for (int k = 0; k < kFindingKinds; ++k)
        counts[KindName(static_cast<FindingKind>(k))] = n[static_cast<size_t>(k)];
    counts["checked-pages"] = r.checked.size();
    counts["missing-targets"] = MissingGroups(r.findings).size();
    return counts;
}

// Empty texts are null: a reader tells "none" from "empty" by kind, not by guessing.
json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json Record(const FindingsReport& r, const Finding& f) {
    return {{"kind", KindName(f.kind)},
            {"file", SitePath(r, f.file)},
            {"line", f.line > 0 ? json(f.line) : json(nullptr)},
            {"column", f.column > 0 ? json(f.column) : json(nullptr)},
            {"link", TextOrNull(f.link)},
            {"target", f.target.empty() ? json(nullptr) : json(SitePath(r, f.target))},
            {"newName", TextOrNull(f.newName)},
            {"message", f.message}};
}

json Missing(const FindingsReport& r) {
    json groups = json::array();
    for (const MissingGroup& g : MissingGroups(r.findings)) {
        json referrers = json::array();
        for (const Finding* f : g.referrers)
            referrers.push_back({{"file", SitePath(r, f->file)},
                                 {"line", f->line},
                                 {"column", f->column > 0 ? json(f->column) : json(nullptr)},
                                 {"link", f->link}});
        groups.push_back({{"target", SitePath(r, g.target)},
                          {"links", g.referrers.size()},
                          {"referrers", std::move(referrers)}});
    }
    return groups;
}

// Each record is made and written in turn: the whole report is never held as one tree.
class CRecords {
public:
    explicit CRecords(const FindingsReport& r) : m_r(r) {}
    struct Iterator {
        const FindingsReport& r;
        std::vector<Finding>::const_iterator at;
        json operator*() const { return Record(r, *at); }
        Iterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator& o) const { return at != o.at; }
    };
    Iterator begin() const { return {m_r, m_r.findings.begin()}; }
    Iterator end() const { return {m_r, m_r.findings.end()}; }

private:
    const FindingsReport& m_r;
};

}  // namespace

std::string JsonReport(const FindingsReport& r) {
    std::string out = "{\n";
    Member(out, "tool", {{"name", "tessary-cli"}, {"version", TESSARY_VERSION}});
    Member(out, "formatVersion", 1);
    Member(out, "completed", r.completed);
    Member(out, "exitStatus", r.exitStatus);
    Member(out, "settings", Settings(r));
    Member(out, "counts", Counts(r));
    Array(out, "findings", CRecords(r));
    Array(out, "missingTargets", Missing(r), true);
    return out + "}\n";
}

}  // namespace ts
