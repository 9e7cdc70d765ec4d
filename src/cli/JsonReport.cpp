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
            {"redirects", NameOf(RedirectNames(), s.Redirects)},
            {"subdirectories", s.UseSubdirs},
            {"checkLinks", !s.FilesOnly},
            {"checkFragments", s.CheckFragments},
            {"checkExternal", s.CheckExternal},
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

// One record object filled anew for each finding: a site can have a hundred thousand
// findings, and making each record's members and keys afresh is most of the report's cost.
class CRecordWriter {
public:
    CRecordWriter() : m_record(json::value_t::object) {
        for (const char* key :
             {"kind", "file", "line", "column", "link", "target", "newName", "message"})
            m_record[key] = nullptr;
    }

    std::string Write(const FindingsReport& r, const Finding& f) {
        auto& members = m_record.get_ref<json::object_t&>();
        auto m = members.begin();
        m[0].second = KindName(f.kind);
        m[1].second = SitePath(r, f.file);
        m[2].second = Position(f.line);
        m[3].second = Position(f.column);
        m[4].second = TextOrNull(f.link);
        m[5].second = f.target.empty() ? json(nullptr) : json(SitePath(r, f.target));
        m[6].second = TextOrNull(f.newName);
        m[7].second = f.message;
        return Compact(m_record);
    }

private:
    static json Position(int n) { return n > 0 ? json(n) : json(nullptr); }
    json m_record;
};

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

}  // namespace

std::string JsonReport(const FindingsReport& r) {
    std::string out;
    out.reserve(256 * (r.findings.size() + 16));  // a record takes some 200 bytes
    out += "{\n";
    Member(out, "tool", {{"name", "tessary-cli"}, {"version", TESSARY_VERSION}});
    Member(out, "formatVersion", 1);
    Member(out, "completed", r.completed);
    Member(out, "ended", EndedWord(r));
    json unfinished = json::array();
    for (RunPassBits pass : PassesIn(r.completed ? 0 : r.passes.Unfinished()))
        unfinished.push_back(PassKey(pass));
    Member(out, "unfinishedPasses", unfinished);
    const std::vector<RunPassBits> cut = PassesIn(r.completed ? 0 : r.passes.CutShort());
    Member(out, "passCutShort", cut.empty() ? json(nullptr) : json(PassKey(cut.front())));
    Member(out, "exitStatus", r.exitStatus);
    Member(out, "settings", Settings(r));
    Member(out, "counts", Counts(r));
    out += "  \"findings\": [";
    CRecordWriter writer;
    for (size_t i = 0; i < r.findings.size(); ++i) {
        out += i ? ",\n    " : "\n    ";
        out += writer.Write(r, r.findings[i]);
    }
    out += r.findings.empty() ? "],\n" : "\n  ],\n";
    Array(out, "missingTargets", Missing(r), true);
    out += "}\n";
    return out;
}

}  // namespace ts
