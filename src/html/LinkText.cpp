#include "html/LinkText.h"

#include <vector>

#include "html/IndexPage.h"
#include "html/SiteUrl.h"
#include "html/Url.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {
namespace {

constexpr const char* kHex = "0123456789ABCDEF";

// A "%" at i without two hex digits: no escape, so a browser reads it as itself.
bool IsBarePercent(std::string_view text, size_t i) {
    return text[i] == '%' &&
           !(i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]));
}

void AppendEscape(std::string& out, unsigned char u) {
    out += '%';
    out += kHex[u >> 4];
    out += kHex[u & 0xF];
}

// What ends or breaks a value with this delimiter.
std::string_view DelimiterChars(LinkQuote quote) {
    switch (quote) {
        case LinkQuote::Double:
            return "\"";
        case LinkQuote::Single:
            return "'";
        case LinkQuote::None:
            return "\"'=<>`";
        case LinkQuote::CssBare:
            return "()'\"";
    }
    return "";
}

// The name an entry is (or will be) known by.
std::string_view NameOf(const CFileNode& node, NamesOf names) {
    if (names == NamesOf::Suggested && !node.m_strNewName.empty()) return node.m_strNewName;
    return node.NameView();
}

bool Renamed(const CFileNode& node, NamesOf names) {
    return NameOf(node, names) != BaseNameView(node.OrigPath());
}

// The written component reaches its file through a server's fallback extension
// ("about" for "about.html").
bool FallbackMatch(std::string_view decoded, const CFileNode& node, const CLinkOptions& links) {
    if (decoded.find('.') != std::string_view::npos || node.IsDirNode()) return false;
    std::string_view scanned = BaseNameView(node.OrigPath());
    for (const std::string& ext : links.fallbackExtensions)
        if (EqualsNoCase(scanned, std::string(decoded) + "." + ext)) return true;
    return false;
}

bool IsIndexName(std::string_view name, const CLinkOptions& links) {
    for (const std::string& index : links.indexFiles)
        if (name == index) return true;
    return false;
}

// A browser reads a "\" as a "/" in the path of a page's URL.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    for (;;) {
        size_t slash = path.find_first_of("/\\", begin);
        parts.push_back(path.substr(begin, slash == path.npos ? path.npos : slash - begin));
        if (slash == path.npos) return parts;
        begin = slash + 1;
    }
}

// The index page a directory link must name once the page is renamed to a name a server no
// longer takes for an index ("INDEX.HTM" on a case-sensitive server); "" when none is needed.
std::string ExplicitIndex(const CHtmlNode::CTag& tag, NamesOf names, const CLinkOptions& links) {
    if (tag.m_nKind != LK_LOCAL || !tag.m_pTarget->IsDirNode()) return {};
    const CFileNode* index = IndexPageOf(static_cast<const CDirNode&>(*tag.m_pTarget), links);
    if (!index || !Renamed(*index, names) || IsIndexName(NameOf(*index, names), links)) return {};
    return EncodeName(NameOf(*index, names), tag.m_nQuote);
}

}  // namespace

std::string MinimalEscape(std::string_view written, LinkQuote quote) {
    std::string_view delimiter = DelimiterChars(quote);
    std::string out;
    out.reserve(written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        char c = written[i];
        unsigned char u = static_cast<unsigned char>(c);
        // A browser drops tabs and line ends from a URL: they are no part of it.
        if (c == '\t' || c == '\r' || c == '\n') continue;
        if (u <= 0x20 || u == 0x7F || c == '\\' || IsBarePercent(written, i) ||
            delimiter.find(c) != std::string_view::npos)
            AppendEscape(out, u);
        else
            out += c;
    }
    return out;
}

std::string EncodeName(std::string_view name, LinkQuote quote) {
    // ":" too: a first component holding one would read as a scheme. "&" would start a
    // character reference in a page.
    static constexpr std::string_view kReserved = " \"#%&:<>?[\\]^`{|}";
    std::string_view delimiter = DelimiterChars(quote);
    std::string out;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || kReserved.find(c) != std::string_view::npos ||
            delimiter.find(c) != std::string_view::npos)
            AppendEscape(out, u);
        else
            out += c;
    }
    return out;
}

namespace {

// From the last component back: each named component stands for the entry above the one after
// it, a ".." hides the named component before it (a browser drops both before asking).
std::vector<std::string> NewComponents(const CHtmlNode::CTag& tag,
                                       const std::vector<std::string_view>& parts, NamesOf names,
                                       const CLinkOptions& links) {
    std::vector<std::string> out(parts.size());
    const CFileNode* node = tag.m_pTarget;
    bool last = true;
    int hidden = 0;
    for (size_t i = parts.size(); i-- > 0;) {
        std::string decoded(parts[i]);
        DecodeUrl(decoded);
        out[i] = MinimalEscape(parts[i], tag.m_nQuote);
        if (decoded.empty() || decoded == ".") continue;
        if (decoded == "..") {
            ++hidden;
            continue;
        }
        if (hidden > 0) {
            --hidden;
            continue;
        }
        if (!node || !node->m_pParent) continue;
        std::string_view name = NameOf(*node, names);
        bool fallback = last && decoded != name && FallbackMatch(decoded, *node, links);
        if (decoded != name && !(fallback && !Renamed(*node, names)))
            out[i] = EncodeName(name, tag.m_nQuote);
        node = node->m_pParent;
        last = false;
    }
    return out;
}

}  // namespace

std::string NewLinkBytes(const CHtmlNode::CTag& tag, std::string_view written, NamesOf names,
                         const CLinkOptions& links) {
    size_t begin = 0;
    if (tag.m_nKind == LK_LOCAL && written.starts_with("//")) {
        begin = SitePathStart(links.siteUrls, written);
        if (begin == std::string_view::npos) begin = 0;
    }
    const std::vector<std::string_view> parts = SplitPath(written.substr(begin));
    std::vector<std::string> out = NewComponents(tag, parts, names, links);
    std::string text(written.substr(0, begin));
    // Each separator as written.
    for (size_t i = 0; i < out.size(); ++i)
        text += (i ? std::string(1, parts[i].data()[-1]) : "") + out[i];
    if (tag.m_pTarget) {
        if (std::string index = ExplicitIndex(tag, names, links); !index.empty())
            text += (text.empty() || text.ends_with("/") ? "" : "/") + index;
    }
    return text;
}

namespace {

// What the written text alone tells about its new text.
enum class Verdict { Stands, Changes, Unsure };

// A byte that MinimalEscape escapes changes the text, whether its component stays (it gets the
// escape) or is replaced (by a name that decodes otherwise). Tabs, line ends and "\\" are left
// to the full comparison.
Verdict ReadWritten(std::string_view written, LinkQuote quote) {
    std::string_view delimiter = DelimiterChars(quote);
    Verdict verdict = Verdict::Stands;
    for (size_t i = 0; i < written.size(); ++i) {
        const char c = written[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\t' || c == '\r' || c == '\n' || c == '\\') {
            verdict = Verdict::Unsure;
        } else if (u <= 0x20 || u == 0x7F || delimiter.find(c) != std::string_view::npos) {
            return Verdict::Changes;
        } else if (IsBarePercent(written, i)) {
            return Verdict::Changes;
        }
    }
    return verdict;
}

int HexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// The component decoded is name. An escaped NUL, which ends a decoded text, never matches.
bool DecodesTo(std::string_view part, std::string_view name) {
    size_t j = 0;
    for (size_t i = 0; i < part.size(); ++i, ++j) {
        char c = part[i];
        if (c == '%') {
            c = static_cast<char>(HexValue(part[i + 1]) * 16 + HexValue(part[i + 2]));
            if (c == 0) return false;
            i += 2;
        }
        if (j >= name.size() || name[j] != c) return false;
    }
    return j == name.size();
}

// NewComponents for a text ReadWritten lets stand, without building one. A component that
// names its entry otherwise is replaced, which changes the text, unless it may be a fallback
// link. An escaped component is trusted only where it names an entry (an escaped ".." would
// hide one).
Verdict CompareComponents(const CHtmlNode::CTag& tag, std::string_view written, NamesOf names,
                          const CLinkOptions& links) {
    const CFileNode* node = tag.m_pTarget;
    int hidden = 0;
    bool last = true;
    size_t end = written.size();
    for (;;) {
        const size_t slash = end == 0 ? std::string_view::npos : written.rfind('/', end - 1);
        const size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
        std::string_view part = written.substr(begin, end - begin);
        const bool escaped = part.find('%') != std::string_view::npos;
        if (part == "..") {
            ++hidden;
        } else if (part.empty() || part == ".") {
            // names no entry
        } else if (escaped && (hidden > 0 || !node || !node->m_pParent)) {
            return Verdict::Unsure;
        } else if (hidden > 0) {
            --hidden;
        } else if (node && node->m_pParent) {
            if (!DecodesTo(part, NameOf(*node, names)))
                return last && !links.fallbackExtensions.empty() ? Verdict::Unsure
                                                                 : Verdict::Changes;
            node = node->m_pParent;
            last = false;
        }
        if (slash == std::string_view::npos) return Verdict::Stands;
        end = slash;
    }
}

}  // namespace

bool LinkTextChanges(const CHtmlNode::CTag& tag, std::string_view written, NamesOf names,
                     const CLinkOptions& links) {
    // A site address keeps its host part, a directory link may gain its index page: both
    // need the full text.
    const bool quick = !(tag.m_nKind == LK_LOCAL && written.starts_with("//")) &&
                       !(tag.m_pTarget && tag.m_pTarget->IsDirNode());
    Verdict verdict = quick ? ReadWritten(written, tag.m_nQuote) : Verdict::Unsure;
    if (verdict == Verdict::Stands) verdict = CompareComponents(tag, written, names, links);
    if (verdict != Verdict::Unsure) return verdict == Verdict::Changes;
    std::string plain;
    for (char c : written)
        if (c != '\r' && c != '\n' && c != '\t') plain += c;
    return NewLinkBytes(tag, written, names, links) != plain;
}

}  // namespace ts
