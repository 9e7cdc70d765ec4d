// The tag scanner and ParseLinks over a page of a small site: every status line is one of the
// scanner's, the result says whether there was a syntax error, and the records it keeps lie
// inside the file, in ascending order and without overlapping, each framing the text its
// delimiters hold (the unit tests compare the streaming scan with a plain one).
//
// Input: one byte, then the page. When the byte is 0xF0 or more, the page is put after about
// 65 KiB of plain text (the low bits choose how much), so that its tags straddle the scanner's
// reads; such inputs are slow, so only a few of them are made.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "html/Attributes.h"
#include "html/CharRefs.h"
#include "html/HtmlNode.h"
#include "html/ResolveLink.h"
#include "html/TagScanner.h"
#include "site/DirXpNode.h"
#include "support/MakeNode.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

struct Site {
    test::CTempDir dir;
    fuzz::CQuietContext quiet;
    std::unique_ptr<CDirXpNode> top;
    CHtmlNode* page = nullptr;
    std::string pagePath;

    Site() {
        pagePath = dir.Write("index.html", "<html></html>\n");
        dir.Write("a.htm", "a");
        dir.Write("My Page.htm", "m");
        dir.Write("sub/b.html", "b");
        dir.Write("sub/deeper/c.htm", "c");
        dir.Write("img/x.gif", "GIF89a");
        dir.Write("style.css", "p {}");
        top = MakeRunTree(quiet.ctx, dir.Path(), MakeWebFileNode);
        top->Scan(true, nullptr, false);
        CFileNode* n = top->SiteMap().Lookup(pagePath);
        FUZZ_CHECK(n && n->IsHtmlNode());
        page = static_cast<CHtmlNode*>(n);
    }
};

Site& TheSite() {
    static Site site;
    return site;
}

FUZZ_REFERENCE int LineOf(const std::vector<uint64_t>& ends, uint64_t offset) {
    return 1 + static_cast<int>(std::upper_bound(ends.begin(), ends.end(), offset) - ends.begin());
}

// Every status line is one of the scanner's, for this page.
void CheckStatus(const std::string& status, const std::string& path) {
    static const char* const kMessages[] = {
        "HTML syntax error, no closing \">\"", "HTML syntax error, bad tag format",
        "tag > 512 characters, being skipped.",
        "page declares UTF-16 or UTF-32, its links are not read"};
    size_t b = 0;
    while (b < status.size()) {
        size_t e = status.find('\n', b);
        FUZZ_CHECK(e != std::string::npos);
        std::string_view line(status.data() + b, e - b);
        FUZZ_CHECK(line.starts_with("line ") && line.find(path) != std::string_view::npos);
        bool known = false;
        for (const char* m : kMessages)
            known = known || line.ends_with(m);
        FUZZ_CHECK(known);
        b = e + 1;
    }
}

std::string Decoded(std::string_view raw) {
    std::string out;
    DecodeCharRefs(raw, out);
    return out;
}

// Blanks and controls, which the URL parser strips around a URL.
bool AllBlank(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) > 0x20) return false;
    return true;
}

// What stands between a quoted value's opening quote and its replaceable text, read as a
// browser reads it: blanks, then perhaps a scheme ("letters:").
void CheckLead(std::string_view lead) {
    std::string s = Decoded(lead);
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20)
        ++i;
    if (i == s.size()) return;
    FUZZ_CHECK(s.back() == ':');
    for (size_t k = i; k + 1 < s.size(); ++k)
        FUZZ_CHECK((s[k] >= 'a' && s[k] <= 'z') || (s[k] >= 'A' && s[k] <= 'Z'));
}

// The text around a record's replaceable text, by the form of its link. Character references
// are read as the browser reads them.
void CheckDelimiters(const std::string& data, const CHtmlNode::CTag& t) {
    std::string_view replaced(data.data() + t.m_nStart, t.m_nEnd - t.m_nStart);
    FUZZ_CHECK(Decoded(replaced).find_first_of("#?") == std::string::npos);
    if (t.m_nSource != LinkSource::Attribute) return;
    if (t.m_nQuote == LinkQuote::Double || t.m_nQuote == LinkQuote::Single) {
        const char q = t.m_nQuote == LinkQuote::Double ? '"' : '\'';
        FUZZ_CHECK(replaced.find(q) == std::string_view::npos);
        const size_t open = data.rfind(q, t.m_nStart - 1);
        const size_t close = data.find(q, t.m_nEnd);
        FUZZ_CHECK(open != std::string::npos && close != std::string::npos);
        CheckLead(std::string_view(data).substr(open + 1, t.m_nStart - open - 1));
        const std::string tail = Decoded(std::string_view(data).substr(t.m_nEnd, close - t.m_nEnd));
        FUZZ_CHECK(AllBlank(tail) || tail[0] == '#' || tail[0] == '?');
    } else {
        FUZZ_CHECK(replaced.find_first_of(" \t\n\f\r>") == std::string_view::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) return 0;
    Site& site = TheSite();
    std::string data;
    if (bytes[0] >= 0xF0) {
        // Around the end of the scanner's first read (64 KiB and two tags), in lines of 80.
        size_t pad = 65536 + 1024 - 600 + (bytes[0] & 0x0F) * 40;
        for (size_t i = 0; i < pad; ++i)
            data += (i % 81 == 80) ? '\n' : 'x';
    }
    data.append(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    FUZZ_CHECK(fuzz::WriteBytes(site.pagePath, data));

    CHtmlNode& page = *site.page;
    page.m_bRewrite = false;
    site.quiet.Clear();
    int result = ParseLinks(page);
    std::string status = site.quiet.Status();
    FUZZ_CHECK(site.quiet.Errors().empty());

    // The records themselves, whatever the reference says.
    const uint64_t length = data.size();
    std::vector<uint64_t> ends = fuzz::ReferenceLineEnds(data);
    if (page.m_pTags) {
        FUZZ_CHECK(!page.m_pTags->empty());
        uint64_t previousEnd = 0;
        for (const CHtmlNode::CTag& t : *page.m_pTags) {
            FUZZ_CHECK(t.m_nStart <= t.m_nEnd && t.m_nEnd < length);
            FUZZ_CHECK(t.m_nStart >= previousEnd);
            previousEnd = t.m_nEnd;
            FUZZ_CHECK(t.m_nStart > 0);
            CheckDelimiters(data, t);
            FUZZ_CHECK(t.m_nLine >= 1 && t.m_nLine <= LineOf(ends, t.m_nStart));
            if (t.m_bRewrite) FUZZ_CHECK(page.m_bRewrite && t.m_pTarget);
            if (t.m_pTarget) FUZZ_CHECK(t.m_nKind != LK_EXTERNAL);
        }
    }

    CheckStatus(status, site.pagePath);
    // A syntax error is reported; a page without one writes only "tag > 512" lines.
    if (result == 0) FUZZ_CHECK(status.find("HTML syntax error") == std::string::npos);
    if (status.find("HTML syntax error") != std::string::npos) FUZZ_CHECK(result == 1);
    return 0;
}
