// The URL string functions and the resolution of a link in a small site whose file names hold
// the characters URLs treat specially.
//   EncodeUrl leaves no reserved or control character but "/" (and NUL, which no name holds)
//   and escapes as "%XY" in upper-case hex;
//   DecodeUrl(EncodeUrl(x)) is x, line ends included (raw ones are dropped, escaped ones not).
//   DecodeUrl never lengthens a text; without a "%" it only removes tabs, CR and LF.
//   ResolveDotDot leaves no "." or ".." segment and gives the same path again when resolved
//   once more; ".." never climbs above the root of an absolute base. Without dot segments in
//   the base or after the leading ".." segments, it gives a prefix of the base that ends in
//   the separator followed by what is left of the path, one directory per segment.
//   ResolveReference gives a URL with the scheme of the reference or of the base, a path
//   without "." or ".." segments, and the same URL again when resolved against anything.
//   ResolveLink keeps the record's offsets (a query stays in the record: a rewrite keeps it),
//   gives a target only to a local link (the top directory or an entry of the site map), and
//   a link that names a file the way a rewrite writes it (its path, escaped) resolves to that
//   file and is not flagged for rewriting.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "html/HtmlNode.h"
#include "html/ResolveLink.h"
#include "html/Url.h"
#include "site/DirXpNode.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

constexpr std::string_view kReserved = " ;?:@=&<>\"#%{}|\\^~[]`";

// File names with the characters links escape, decode or cut at.
const char* const kNames[] = {
    "a.htm",          "My Page.htm",       "50%.htm",         "q?x.htm",         "h#sh.htm",
    "Dir/b.html",     "Dir/Sub Dir/c.htm", "caf\xC3\xA9.htm", "x;y=z&w@v.htm",   "~user.htm",
    "tab\tname.htm",  "new\nline.htm",     "[br]{ce}.htm",    "back\\slash.htm", "UPPER.HTM",
    "colon:name.htm", "-dash.htm",         "%41.htm",         "Dir/x..y.htm",    "sp ace/d.htm",
};

struct Site {
    test::CTempDir dir;
    fuzz::CQuietContext quiet;
    std::unique_ptr<CDirXpNode> top;
    CHtmlNode* page = nullptr;
    std::vector<CFileNode*> files;

    Site() {
        std::string path = dir.Write("index.html", "<html></html>\n");
        for (const char* n : kNames)
            dir.Write(n, "x");
        top = MakeRunTree(quiet.ctx, dir.Path(), MakeWebFileNode);
        top->Scan(true, nullptr, false);
        page = static_cast<CHtmlNode*>(top->SiteMap().Lookup(path));
        FUZZ_CHECK(page && page->IsHtmlNode());
        for (const char* n : kNames) {
            CFileNode* f = top->SiteMap().Lookup(dir / n);
            if (!f) std::fprintf(stderr, "not in the site map: \"%s\"\n", n);
            FUZZ_CHECK(f);
            files.push_back(f);
        }
    }
};

Site& TheSite() {
    static Site site;
    return site;
}

// A browser's URL parser drops tabs and line ends anywhere.
std::string WithoutTabsAndLineEnds(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '\t' && c != '\r' && c != '\n') out += c;
    return out;
}

// The controls that are escaped: every one but NUL, whose escape would end a decoded text.
bool IsControl(char c) {
    return (c > 0 && c < 0x20) || c == 0x7F;
}

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void CheckEncodeDecode(const std::string& x) {
    std::string e = x;
    EncodeUrl(e);
    for (size_t i = 0; i < e.size(); ++i) {
        if (e[i] == '%') {
            FUZZ_CHECK(i + 2 < e.size() && IsUpperHex(e[i + 1]) && IsUpperHex(e[i + 2]));
            char code = static_cast<char>(std::stoi(e.substr(i + 1, 2), nullptr, 16));
            FUZZ_CHECK(kReserved.find(code) != std::string_view::npos || IsControl(code));
            i += 2;
        } else {
            FUZZ_CHECK(kReserved.find(e[i]) == std::string_view::npos && !IsControl(e[i]));
        }
    }
    std::string d = e;
    DecodeUrl(d);
    FUZZ_CHECK(d == x);

    std::string plain = x;
    DecodeUrl(plain);
    FUZZ_CHECK(plain.size() <= WithoutTabsAndLineEnds(x).size());
    if (x.find('%') == std::string::npos) FUZZ_CHECK(plain == WithoutTabsAndLineEnds(x));
}

bool HasDotSegment(std::string_view path) {
    size_t s = 0;
    while (s <= path.size()) {
        size_t slash = path.find('/', s);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view segment = path.substr(s, slash - s);
        if (segment == "." || segment == "..") return true;
        s = slash + 1;
    }
    return false;
}

void CheckDotDot(const std::string& rel, std::string base) {
    if (base.empty() || base.back() != '/') base += '/';
    std::string r = rel;
    ResolveDotDot(r, base, '/');
#define CHECK_DD(cond) \
    FUZZ_CHECK_MSG(cond, "path \"%s\", base \"%s\": \"%s\"", rel.c_str(), base.c_str(), r.c_str())
    // Dot segments anywhere are removed as a browser removes them.
    CHECK_DD(!HasDotSegment(r));
    std::string again = r;
    ResolveDotDot(again, "", '/');
    CHECK_DD(again == r);
    if (base[0] == '/') CHECK_DD(!r.empty() && r[0] == '/');
    // What the leading ".." segments leave of rel, and how many there were.
    size_t cut = 0;
    int levels = 0;
    while (rel.compare(cut, 2, "..") == 0 && (rel.size() - cut == 2 || rel[cut + 2] == '/')) {
        cut = std::min(rel.size(), cut + 3);
        ++levels;
    }
    const std::string rest = rel.substr(cut);
    if (HasDotSegment(base) || HasDotSegment(rest)) return;
    CHECK_DD(r.size() >= rest.size() && r.compare(r.size() - rest.size(), rest.size(), rest) == 0);
    const std::string prefix = r.substr(0, r.size() - rest.size());
    CHECK_DD(base.compare(0, prefix.size(), prefix) == 0);
    CHECK_DD(prefix.empty() || prefix.back() == '/');
    const std::string removed = base.substr(prefix.size());
    int seps = static_cast<int>(std::count(removed.begin(), removed.end(), '/'));
    // Climbing stops at the root of an absolute base, and at the start of a relative one.
    if (prefix.empty() || prefix == "/")
        CHECK_DD(seps <= levels);
    else
        CHECK_DD(seps == levels);
#undef CHECK_DD
}

bool HasScheme(const std::string& s, std::string* scheme) {
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
    size_t j = 1;
    while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '+' ||
                            s[j] == '-' || s[j] == '.'))
        ++j;
    if (j >= s.size() || s[j] != ':') return false;
    if (scheme) *scheme = s.substr(0, j);
    return true;
}

void CheckReference(const std::string& base, const std::string& ref) {
    const std::string result = ResolveReference(base, ref);
#define CHECK_REF(cond)                                                                      \
    FUZZ_CHECK_MSG(cond, "base \"%s\", reference \"%s\": \"%s\"", base.c_str(), ref.c_str(), \
                   result.c_str())
    std::string refScheme, baseScheme, scheme;
    bool refHas = HasScheme(ref, &refScheme);
    CHECK_REF(HasScheme(base, &baseScheme));
    CHECK_REF(HasScheme(result, &scheme));
    CHECK_REF(scheme == (refHas ? refScheme : baseScheme));
    // The path: after the scheme and the authority, up to the query.
    size_t i = scheme.size() + 1;
    if (result.compare(i, 2, "//") == 0) {
        i = result.find_first_of("/?#", i + 2);
        if (i == std::string::npos) i = result.size();
    }
    size_t end = result.find_first_of("?#", i);
    if (end == std::string::npos) end = result.size();
    std::string_view path(result.data() + i, end - i);
    size_t s = 0;
    while (s <= path.size()) {
        size_t slash = path.find('/', s);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view segment = path.substr(s, slash - s);
        CHECK_REF(segment != "." && segment != "..");
        s = slash + 1;
    }
    CHECK_REF(ResolveReference(result, "") == result);
    CHECK_REF(ResolveReference(base, result) == result);
#undef CHECK_REF
}

// A link in the page as FindAttribute hands it over: the value, its offsets, no target yet.
CHtmlNode::CTag LinkRecord(const std::string& written) {
    CHtmlNode::CTag tag;
    size_t replace = 0;
    while (replace < written.size() && std::isalpha(static_cast<unsigned char>(written[replace])))
        ++replace;
    replace = (replace < written.size() && written[replace] == ':') ? replace + 1 : 0;
    tag.m_nStart = 100 + replace;
    tag.m_nEnd = 100 + written.size();
    tag.m_nLine = 1;
    tag.m_strUrl = written;
    return tag;
}

void CheckLink(Site& site, const std::string& value, int baseChoice) {
    // FindAttribute never hands over a quote, and cuts at the first "#".
    std::string written = value.substr(0, value.find('#'));
    std::erase(written, '"');
    if (written.empty()) return;
    CHtmlNode& page = *site.page;
    const std::string root = site.top->OrigPath();
    page.m_bRewrite = false;
    page.m_vBases.assign(1, root + "/");
    CLinkBase base;
    base.strSiteRoot = root;
    switch (baseChoice) {
        case 1:  // a base tag naming a subdirectory
            page.m_vBases.push_back(root + "/Dir/");
            base.nBase = 1;
            break;
        case 2:  // a base tag with a full URL
            base.bFullUrl = true;
            base.strBaseUrl = "http://example.org/dir/page.htm";
            base.strSiteRoot = "http://example.org";
            break;
        default:
            break;
    }
    page.m_strBase = base.bFullUrl ? "http://example.org/dir/" : page.m_vBases.back();

    CHtmlNode::CTag tag = LinkRecord(written);
    const CHtmlNode::CTag before = tag;
    bool keep = ResolveLink(page, tag, base);
    size_t query = written.find('?');
    if (!keep) {
        FUZZ_CHECK(tag.m_nKind == LK_LOCAL && query != std::string::npos);
        std::string name = written.substr(0, query);
        DecodeUrl(name);
        FUZZ_CHECK(name.empty());
        return;
    }
    FUZZ_CHECK(tag.m_nStart == before.m_nStart && tag.m_nEnd == before.m_nEnd);
    if (tag.m_pTarget) {
        FUZZ_CHECK(tag.m_nKind == LK_LOCAL);
        // The site map holds the entries below the top directory, not the top itself.
        FUZZ_CHECK(tag.m_pTarget == site.top.get() ||
                   site.top->SiteMap().Lookup(tag.m_pTarget->OrigPath()) == tag.m_pTarget);
    }
    if (tag.m_bRewrite) FUZZ_CHECK(tag.m_pTarget && page.m_bRewrite);
}

// The links a rewrite would write for a file: its path below the top directory, and below
// the page's directory, escaped. Each must find the file again and need no change.
void CheckCanonicalLinks(Site& site, CFileNode& target) {
    CHtmlNode& page = *site.page;
    const std::string root = site.top->OrigPath();
    std::string below = target.m_strPath.substr(root.size() + 1);
    for (const std::string& text : {"/" + below, below}) {
        std::string written = text;
        EncodeUrl(written);
        page.m_bRewrite = false;
        page.m_vBases.assign(1, root + "/");
        page.m_strBase = root + "/";
        CLinkBase base;
        base.strSiteRoot = root;
        CHtmlNode::CTag tag = LinkRecord(written);
        FUZZ_CHECK(ResolveLink(page, tag, base));
        if (tag.m_pTarget != &target || tag.m_bRewrite) {
            std::fprintf(stderr, "the link \"%s\" to \"%s\" %s\n", written.c_str(),
                         target.m_strPath.c_str(),
                         tag.m_pTarget != &target ? "does not find it" : "is flagged");
        }
        FUZZ_CHECK(tag.m_pTarget == &target);
        FUZZ_CHECK(!tag.m_bRewrite);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider fdp(bytes, size);
    const int baseChoice = fdp.ConsumeIntegralInRange(0, 2);
    const size_t fileChoice = fdp.ConsumeIntegral<uint8_t>();
    std::string a = fdp.ConsumeRandomLengthString(1024);
    std::string b = fdp.ConsumeRandomLengthString(1024);

    CheckEncodeDecode(a);
    CheckEncodeDecode(b);
    CheckDotDot(a, b);
    std::string base = HasScheme(b, nullptr) ? b : "http://host/dir/" + b;
    CheckReference(base, a);

    Site& site = TheSite();
    CheckLink(site, a, baseChoice);
    CheckLink(site, b, baseChoice);
    CheckCanonicalLinks(site, *site.files[fileChoice % site.files.size()]);
    return 0;
}
