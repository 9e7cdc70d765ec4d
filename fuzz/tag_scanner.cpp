// The tag scanner and ParseLinks over a page of a small site, against a plain in-memory scan
// of the same bytes: the streaming scanner must find the same tags, syntax errors and line
// numbers, and hand the same tag texts to the attribute table. The records it keeps must lie
// inside the file, in ascending order and without overlapping, and each must frame the text
// between a quote (or a scheme's ":") and a closing quote, "#" or "?".
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

std::string SyntaxLine(int line, const std::string& path, const char* msg) {
    char head[32];
    std::snprintf(head, sizeof head, "line %4d ", line);
    std::string padded = path;
    if (padded.size() < 26) padded.resize(26, ' ');
    return head + padded + "    " + msg + "\n";
}

std::string TooLongLine(int line, const std::string& path) {
    char head[32];
    std::snprintf(head, sizeof head, "line %4d", line);
    return head + std::string(26, ' ') + path + "    tag > 512 characters, being skipped.\n";
}

struct Expected {
    std::string status;
    int syntaxError = 0;
    std::vector<CHtmlNode::CTag> tags;
    std::string base;
    std::vector<std::string> bases;
    bool rewrite = false;
};

// Scans the page the plain way (all of it in memory) and examines every tag with the same
// attribute table, on a node of its own for the same path.
FUZZ_REFERENCE Expected Reference(Site& site, const std::string& data) {
    Expected want;
    const std::string& path = site.pagePath;
    std::vector<uint64_t> ends = fuzz::ReferenceLineEnds(data);

    CHtmlNode ref = test::MakeNode<CHtmlNode>(site.quiet.ctx, path, site.top.get());
    ref.m_strBase = path.substr(0, path.rfind('/') + 1);
    ref.m_vBases.assign(1, ref.m_strBase);
    CLinkBase base;
    base.strSiteRoot = site.top->OrigPath();

    std::string scanLines, tagLines;
    bool comment = false, open = false;
    uint64_t start = 0;
    int line = 1, tagLine = 0;
    for (size_t o = 0; o < data.size(); ++o) {
        char c = data[o];
        if (c != '<' && c != '>') continue;
        if (comment) {
            if (c == '>' && o >= 2 && data[o - 1] == '-' && data[o - 2] == '-') comment = false;
            continue;
        }
        if (c == '<') {
            if (open) {
                scanLines += SyntaxLine(line, path, "HTML syntax error, no closing \">\"");
                want.syntaxError = 1;
                open = false;
            }
            if (data.compare(o + 1, 3, "!--") == 0) {
                comment = true;
            } else {
                open = true;
                start = o;
                line = LineOf(ends, o);
                tagLine = line;
            }
        } else if (open) {
            open = false;
            CHtmlNode::CTag scanned;
            scanned.m_nStart = start;
            scanned.m_nEnd = o;
            scanned.m_nLine = tagLine;
            uint64_t length = o - start + 1;
            if (length > 512) {
                tagLines += TooLongLine(tagLine, path);
                continue;
            }
            std::string text = data.substr(start, length);
            text = text.substr(0, text.find('\0'));
            int errors = ExamineTag(ref, scanned, text, base, want.tags);
            for (int i = 0; i < errors; ++i)
                tagLines += SyntaxLine(tagLine, path, "HTML syntax error, bad tag format");
            if (errors > 0) want.syntaxError = 1;
        } else {
            line = LineOf(ends, o);
            scanLines += SyntaxLine(line, path, "HTML syntax error, no starting \"<\"");
            want.syntaxError = 1;
        }
    }
    want.status = scanLines + tagLines;
    want.base = ref.m_strBase;
    want.bases = ref.m_vBases;
    want.rewrite = ref.m_bRewrite;
    return want;
}

bool SameTag(const CHtmlNode::CTag& a, const CHtmlNode::CTag& b) {
    return a.m_nStart == b.m_nStart && a.m_nEnd == b.m_nEnd && a.m_nLine == b.m_nLine &&
           a.m_strUrl == b.m_strUrl && a.m_nKind == b.m_nKind && a.m_bRewrite == b.m_bRewrite &&
           a.m_pTarget == b.m_pTarget && a.m_nBase == b.m_nBase && a.m_nScheme == b.m_nScheme;
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
            char before = data[t.m_nStart - 1];
            FUZZ_CHECK(before == '"' || before == ':');
            char after = data[t.m_nEnd];
            FUZZ_CHECK(after == '"' || after == '#' || (after == '?' && t.m_nKind == LK_LOCAL));
            std::string_view replaced(data.data() + t.m_nStart, t.m_nEnd - t.m_nStart);
            FUZZ_CHECK(replaced.find_first_of(std::string_view("<>\"#\0", 5)) ==
                       std::string_view::npos);
            FUZZ_CHECK(t.m_nLine >= 1 && t.m_nLine <= LineOf(ends, t.m_nStart));
            FUZZ_CHECK(t.m_nBase >= 0 && t.m_nBase < static_cast<int>(page.m_vBases.size()));
            if (t.m_bRewrite) FUZZ_CHECK(page.m_bRewrite && t.m_pTarget);
            if (t.m_pTarget) FUZZ_CHECK(t.m_nKind != LK_EXTERNAL);
        }
    }

    // The same findings as the plain scan.
    Expected want = Reference(site, data);
    FUZZ_CHECK(result == want.syntaxError);
    FUZZ_CHECK(status == want.status);
    size_t count = page.m_pTags ? page.m_pTags->size() : 0;
    FUZZ_CHECK(count == want.tags.size());
    for (size_t i = 0; i < count; ++i)
        FUZZ_CHECK(SameTag((*page.m_pTags)[i], want.tags[i]));
    FUZZ_CHECK(page.m_strBase == want.base);
    FUZZ_CHECK(page.m_vBases == want.bases);
    FUZZ_CHECK(page.m_bRewrite == want.rewrite);
    return 0;
}
