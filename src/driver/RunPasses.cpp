#include "driver/RunPasses.h"

#include "base/Strings.h"

namespace ts {
namespace {

struct PassName {
    RunPassBits bit;
    const char* key;
    int words;
};

constexpr PassName kPasses[kRunPasses] = {
    {RP_SCAN, "scan", IDS_PASS_SCAN},
    {RP_NAMES, "names", IDS_PASS_NAMES},
    {RP_LINE_ENDS, "line-ends", IDS_PASS_LINE_ENDS},
    {RP_SYNTAX, "syntax", IDS_PASS_SYNTAX},
    {RP_LINK_RENAMING, "link-renaming", IDS_PASS_LINK_RENAMING},
    {RP_UNRESOLVED, "unresolved-links", IDS_PASS_UNRESOLVED},
    {RP_FRAGMENTS, "fragments", IDS_PASS_FRAGMENTS},
    {RP_UNUSED, "unused-files", IDS_PASS_UNUSED},
    {RP_EXTERNAL_CHECK, "external-check", IDS_PASS_EXTERNAL_CHECK},
    {RP_MOVED_LINKS, "moved-links", IDS_PASS_MOVED_LINKS},
    {RP_EXTERNAL_REFS, "external-references", IDS_PASS_EXTERNAL_REFS},
};

const PassName& NameOf(RunPassBits pass) {
    for (const PassName& p : kPasses)
        if (p.bit == pass) return p;
    return kPasses[0];
}

}  // namespace

uint32_t PassesDue(const RunSettings& s) {
    uint32_t due = RP_SCAN;
    if (s.Target != 0 || s.RenameHtml != 0) due |= RP_NAMES;
    if (s.LineEnd != 0) due |= RP_LINE_ENDS;
    if (s.FilesOnly) return due;
    due |= RP_SYNTAX | RP_LINK_RENAMING;
    if (s.ReportUnresolvedRefs) due |= RP_UNRESOLVED;
    if (s.CheckFragments) due |= RP_FRAGMENTS;
    if (s.ReportUnusedFiles) due |= RP_UNUSED;
    if (s.CheckExternal) due |= RP_EXTERNAL_CHECK;
    if (s.CheckExternal && s.RewriteMoved) due |= RP_MOVED_LINKS;
    if (s.ReportExternalRefs) due |= RP_EXTERNAL_REFS;
    return due;
}

std::vector<RunPassBits> PassesIn(uint32_t bits) {
    std::vector<RunPassBits> passes;
    for (const PassName& p : kPasses)
        if (bits & p.bit) passes.push_back(p.bit);
    return passes;
}

const char* PassKey(RunPassBits pass) {
    return NameOf(pass).key;
}

std::string UnfinishedText(const RunPasses& passes) {
    std::string text;
    for (RunPassBits pass : PassesIn(passes.Unfinished())) {
        if (!text.empty()) text += ", ";
        const char* words = LoadString(NameOf(pass).words);
        text += (passes.CutShort() & pass) ? FormatMessage(IDS_PASS_CUT_SHORT, words) : words;
    }
    return text;
}

}  // namespace ts
