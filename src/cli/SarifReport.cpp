// SARIF 2.1.0, the form code-scanning dashboards read: one result per problem found, located
// by a URI relative to the site's directory.
#include <nlohmann/json.hpp>

#include "cli/ReportFormats.h"

namespace ts {
namespace {

using json = nlohmann::ordered_json;

// Percent-encodes everything but the unreserved characters and "/": names may hold blanks,
// "#", "%" or bytes that are no UTF-8, and a URI must carry them all unchanged. (EncodeUrl,
// for links written into pages, keeps bytes beyond ASCII as they are.)
std::string UriPath(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

const char* LevelOf(FindingKind kind) {
    return SeverityWord(kind, "note");
}

json Result(const FindingsReport& r, const Finding& f) {
    json location = {
        {"artifactLocation", {{"uri", UriPath(SitePath(r, f.file))}, {"uriBaseId", "SITE"}}}};
    if (f.line > 0) {
        json region = {{"startLine", f.line}};
        if (f.column > 0) region["startColumn"] = f.column;
        location["region"] = std::move(region);
    }
    return {{"ruleId", KindName(f.kind)},
            {"ruleIndex", static_cast<int>(f.kind)},
            {"level", LevelOf(f.kind)},
            {"message", {{"text", FindingText(r, f)}}},
            {"locations", json::array({{{"physicalLocation", std::move(location)}}})}};
}

json Rules() {
    json rules = json::array();
    for (int k = 0; k < kFindingKinds; ++k) {
        const auto kind = static_cast<FindingKind>(k);
        rules.push_back({{"id", KindName(kind)},
                         {"shortDescription", {{"text", KindTitle(kind)}}},
                         {"defaultConfiguration", {{"level", LevelOf(kind)}}}});
    }
    return rules;
}

// A run that ended early says so where a dashboard shows how the tool ran.
json Invocation(const FindingsReport& r) {
    json invocation = {{"executionSuccessful", r.completed}, {"exitCode", r.exitStatus}};
    if (!r.completed)
        invocation["toolExecutionNotifications"] =
            json::array({{{"level", "error"}, {"message", {{"text", UnfinishedSentence(r)}}}}});
    return invocation;
}

}  // namespace

std::string SarifReport(const FindingsReport& r) {
    json results = json::array();
    for (const Finding& f : r.findings)
        if (f.kind != FindingKind::ExternalUrl) results.push_back(Result(r, f));
    std::string dir = r.settings.Directory;
    if (dir.empty() || dir.back() != '/') dir += '/';
    json run = {
        {"tool",
         {{"driver", {{"name", "tessary-cli"}, {"version", TESSARY_VERSION}, {"rules", Rules()}}}}},
        {"originalUriBaseIds", {{"SITE", {{"uri", "file://" + UriPath(dir)}}}}},
        {"invocations", json::array({Invocation(r)})},
        {"results", std::move(results)}};
    json doc = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                {"version", "2.1.0"},
                {"runs", json::array({std::move(run)})}};
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace ts
