// FindAttribute on the text of one tag, and ExamineTag with the whole attribute table.
// A value found lies inside the tag and is framed by the record's new offsets: the replaceable
// text starts after a scheme's ":" or at the value and ends at the value's end, a "?" or a
// "#". Names ignore case: the tag in upper case gives the same answer at the same offsets
// (when it holds no character reference, whose names are case-sensitive).
// Nothing but a found value changes the record.
//
// Input: one byte choosing the tag and attribute names, then the tag's text after its "<".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "html/Attributes.h"
#include "html/CharRefs.h"
#include "html/HtmlNode.h"
#include "html/ResolveLink.h"
#include "site/DirXpNode.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

struct Pair {
    const char* tag;
    const char* attr;
};

// The table's own pairs and a few that only look like them.
const Pair kPairs[] = {
    {"a", "href"},      {"frame", "src"},    {"body", "background"}, {"area", "href"},
    {"link", "href"},   {"style", "href"},   {"object", "codebase"}, {"applet", "codebase"},
    {"form", "action"}, {"input", "src"},    {"bgsound", "src"},     {"embed", "src"},
    {"img", "src"},     {"img", "usemap"},   {"img", "dynsrc"},      {"img", "lowsrc"},
    {"base", "href"},   {"script", "src"},   {"iframe", "src"},      {"source", "src"},
    {"video", "src"},   {"audio", "src"},    {"track", "src"},       {"object", "data"},
    {"a", "hreflang"},  {"frameset", "src"}, {"", "href"},           {"a", ""},
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

struct Site {
    test::CTempDir dir;
    fuzz::CQuietContext quiet;
    std::unique_ptr<CDirXpNode> top;
    CHtmlNode* page = nullptr;

    Site() {
        std::string path = dir.Write("index.html", "<html></html>\n");
        dir.Write("a.htm", "a");
        dir.Write("sub/b.html", "b");
        top = MakeRunTree(quiet.ctx, dir.Path(), MakeWebFileNode);
        top->Scan(true, nullptr, false);
        page = static_cast<CHtmlNode*>(top->SiteMap().Lookup(path));
        FUZZ_CHECK(page && page->IsHtmlNode());
    }
};

Site& TheSite() {
    static Site site;
    return site;
}

void CheckFound(std::string_view text, uint64_t tagStart, const CHtmlNode::CTag& tag,
                const std::string& value) {
    FUZZ_CHECK(!value.empty());
    FUZZ_CHECK(value.find('#') == std::string::npos);
    FUZZ_CHECK(tag.m_nStart >= tagStart && tag.m_nStart <= tag.m_nEnd);
    const size_t replace = tag.m_nStart - tagStart;
    const size_t end = tag.m_nEnd - tagStart;
    FUZZ_CHECK(end < text.size());
    // The replaceable text ends at the value's end, a "?" or a "#", written as such or as a
    // character reference.
    const char after = text[end];
    FUZZ_CHECK(after == '"' || after == '\'' || after == '#' || after == '?' || after == '&' ||
               after == '>' || IsSpace(after));
    std::string_view replaced = text.substr(replace, end - replace);
    std::string decoded;
    DecodeCharRefs(replaced, decoded);
    FUZZ_CHECK(decoded.find_first_of("#?") == std::string::npos);
    // After "letters:" at the value's start, else the whole value.
    if (replace > 0 && text[replace - 1] == ':') {
        size_t k = replace - 1;
        while (k > 0 && IsLetter(text[k - 1]))
            --k;
        FUZZ_CHECK(k < replace - 1);
    }
    // Without character references, the value holds the replaced text as written.
    if (text.find('&') == std::string_view::npos)
        FUZZ_CHECK(value.find(replaced) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) return 0;
    const Pair& pair = kPairs[bytes[0] % std::size(kPairs)];
    const std::string text = "<" + std::string(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    const uint64_t tagStart = 1000 + bytes[0];

    CHtmlNode::CTag scanned;
    scanned.m_nStart = tagStart;
    scanned.m_nEnd = tagStart + text.size() - 1;
    scanned.m_nLine = 3;

    CHtmlNode::CTag tag = scanned;
    std::string value = "unchanged";
    AttrResult r = FindAttribute(text, pair.tag, pair.attr, tag, value);
    if (r == AttrResult::Found) {
        CheckFound(text, tagStart, tag, value);
    } else {
        FUZZ_CHECK(value == "unchanged");
        FUZZ_CHECK(tag.m_nStart == scanned.m_nStart && tag.m_nEnd == scanned.m_nEnd);
    }
    FUZZ_CHECK(tag.m_nLine == scanned.m_nLine && tag.m_strUrl.empty() && !tag.m_pTarget);

    // Names ignore case; values keep theirs, at the same offsets.
    CHtmlNode::CTag upperTag = scanned;
    std::string upperValue = "unchanged";
    AttrResult upper = FindAttribute(UpperAscii(text), pair.tag, pair.attr, upperTag, upperValue);
    // Named character references are case-sensitive ("&num;" is a "#", "&NUM;" no reference):
    // only a text without them maps alike.
    if (text.find('&') == std::string::npos) FUZZ_CHECK(upper == r);
    if (r == AttrResult::Found && text.find('&') == std::string::npos) {
        FUZZ_CHECK(upperTag.m_nStart == tag.m_nStart && upperTag.m_nEnd == tag.m_nEnd);
        FUZZ_CHECK(upperValue == UpperAscii(value));
    }

    // The whole table: every record it keeps lies inside the tag, in ascending order.
    Site& site = TheSite();
    CHtmlNode& page = *site.page;
    page.m_strBase = page.OrigPath().substr(0, page.OrigPath().rfind('/') + 1);
    page.m_vBases.assign(1, page.m_strBase);
    page.m_bRewrite = false;
    CLinkBase base;
    base.strSiteRoot = site.top->OrigPath();
    std::vector<CHtmlNode::CTag> tags;
    int errors = ExamineTag(page, scanned, text, base, tags);
    FUZZ_CHECK(errors >= 0);
    uint64_t previousEnd = tagStart;
    for (const CHtmlNode::CTag& t : tags) {
        FUZZ_CHECK(t.m_nStart >= previousEnd && t.m_nStart <= t.m_nEnd);
        FUZZ_CHECK(t.m_nEnd <= scanned.m_nEnd);
        previousEnd = t.m_nEnd;
        if (t.m_bRewrite) FUZZ_CHECK(page.m_bRewrite && t.m_pTarget);
    }
    return 0;
}
