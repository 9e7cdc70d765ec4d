#include "html/Attributes.h"

#include "base/ReportStream.h"
#include "html/Url.h"

namespace ts {

namespace {

enum class RowKind { Plain, Image, Base };

struct AttributeRow {
    std::string_view tag;
    std::string_view attr;
    RowKind kind;
};

// Tried in this order; the first row whose tag and attribute both match gives the tag's URL.
constexpr AttributeRow kRows[] = {
    {"a", "href", RowKind::Plain},
    {"frame", "src", RowKind::Plain},
    {"body", "background", RowKind::Plain},
    {"area", "href", RowKind::Plain},
    {"link", "href", RowKind::Plain},
    {"style", "href", RowKind::Plain},
    {"object", "codebase", RowKind::Plain},
    {"applet", "codebase", RowKind::Plain},
    {"form", "action", RowKind::Plain},
    {"input", "src", RowKind::Plain},
    {"bgsound", "src", RowKind::Plain},
    {"embed", "src", RowKind::Plain},
    {"img", "src", RowKind::Image},
    {"base", "href", RowKind::Base},
    // Scripts and media of today's pages: without these rows a renamed script would keep its
    // old name in the page and be listed as unused.
    {"script", "src", RowKind::Plain},
    {"iframe", "src", RowKind::Plain},
    {"source", "src", RowKind::Plain},
    {"video", "src", RowKind::Plain},
    {"audio", "src", RowKind::Plain},
    {"track", "src", RowKind::Plain},
    {"object", "data", RowKind::Plain},
};

// An image's second link: the first of these found.
constexpr std::string_view kImgSecond[] = {"usemap", "dynsrc", "lowsrc"};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text at pos begins with word (lower case), ignoring case.
bool HasWordAt(std::string_view text, size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(text[pos + i]) != word[i]) return false;
    return true;
}

size_t SkipSpace(std::string_view text, size_t i) {
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return i;
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

namespace {

// Where the attributes of a tag named tagName begin; npos when the tag has another name.
size_t AfterTagName(std::string_view text, std::string_view tagName) {
    size_t i = SkipSpace(text, 1);
    if (!HasWordAt(text, i, tagName)) return std::string_view::npos;
    i += tagName.size();
    if (i >= text.size() || !IsSpace(text[i])) return std::string_view::npos;
    return SkipSpace(text, i);
}

// Token by token from i; a quoted value is skipped whole, blanks and all. Where attr begins, or
// npos when no token begins with it.
size_t FindAttributeName(std::string_view text, size_t i, std::string_view attr) {
    const size_t n = text.size();
    for (;;) {
        if (i >= n) return std::string_view::npos;
        if (HasWordAt(text, i, attr)) return i;
        while (i < n && !IsSpace(text[i])) {
            if (text[i] == '"') {
                size_t close = text.find('"', i + 1);
                i = close == std::string_view::npos ? n : close + 1;
            } else {
                ++i;
            }
        }
        i = SkipSpace(text, i);
    }
}

// The value after an attribute's name, which ends at i. Only name = "value" is understood;
// anything else (no value, single quotes, no quotes, a longer attribute name that begins with
// the one looked for) is a syntax error.
AttrResult ReadValue(std::string_view text, size_t i, CHtmlNode::CTag& tag, std::string& value) {
    const size_t n = text.size();
    i = SkipSpace(text, i);
    if (i >= n || text[i] != '=') return AttrResult::BadFormat;
    i = SkipSpace(text, i + 1);
    if (i >= n || text[i] != '"') return AttrResult::BadFormat;
    size_t begin = i + 1;
    size_t end = text.find('"', begin);
    if (end == std::string_view::npos) return AttrResult::BadFormat;
    size_t hash = text.substr(begin, end - begin).find('#');
    if (hash != std::string_view::npos) end = begin + hash;
    if (end == begin) return AttrResult::Absent;
    size_t replace = begin;
    while (replace < end && IsAsciiLetter(text[replace]))
        ++replace;
    replace = (replace < end && text[replace] == ':') ? replace + 1 : begin;
    value.assign(text.substr(begin, end - begin));
    uint64_t tagStart = tag.m_nStart;
    tag.m_nEnd = tagStart + end;
    tag.m_nStart = tagStart + replace;
    return AttrResult::Found;
}

}  // namespace

AttrResult FindAttribute(std::string_view text, std::string_view tagName, std::string_view attr,
                         CHtmlNode::CTag& tag, std::string& value) {
    size_t i = AfterTagName(text, tagName);
    if (i == std::string_view::npos) return AttrResult::Absent;
    i = FindAttributeName(text, i, attr);
    if (i == std::string_view::npos) return AttrResult::Absent;
    return ReadValue(text, i + attr.size(), tag, value);
}

namespace {

int ExamineImage(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
                 CHtmlNode::CTag& img, const CLinkBase& base, std::vector<CHtmlNode::CTag>& tags) {
    int errors = 0;
    CHtmlNode::CTag second;
    bool keepSecond = false;
    for (std::string_view attr : kImgSecond) {
        CHtmlNode::CTag candidate = scanned;
        std::string value;
        AttrResult r = FindAttribute(text, "img", attr, candidate, value);
        if (r == AttrResult::BadFormat) ++errors;
        if (r != AttrResult::Found) continue;
        candidate.m_strUrl = value;
        keepSecond = ResolveLink(file, candidate, base);
        second = std::move(candidate);
        break;
    }
    bool keepImg = ResolveLink(file, img, base);
    bool secondFirst = keepSecond && !(img.m_nStart < second.m_nStart);
    if (secondFirst) tags.push_back(std::move(second));
    if (keepImg) tags.push_back(std::move(img));
    if (keepSecond && !secondFirst) tags.push_back(std::move(second));
    return errors;
}

void ExamineBase(CHtmlNode& file, CHtmlNode::CTag& tag, const std::string& value, CLinkBase& base,
                 std::vector<CHtmlNode::CTag>& tags) {
    std::string w = value;
    DecodeUrl(w);
    if (w.find("//") != std::string::npos) {
        // Later links are made absolute against this URL; a host-relative one takes the
        // scheme of the base in force, as a browser would.
        if (base.bFullUrl)
            base.strBaseUrl = ResolveReference(base.strBaseUrl, w);
        else
            base.strBaseUrl = w.starts_with("//") ? "http:" + w : w;
        base.bFullUrl = true;
        if (w.back() != '/') w += '/';
        file.m_strBase = w;
        size_t host = w.find("//");
        base.strSiteRoot = w.substr(0, w.find('/', host + 2));
        return;
    }
    std::string decoded = w;
    if (!w.empty() && w[0] == '/') w.erase(0, 1);
    ResolveDotDot(w, file.m_strBase, kPathSep);
    if (w.empty() || w.back() != kPathSep) w += kPathSep;
    file.m_strBase = w;
    tag.m_strUrl = value;
    tag.m_nKind = LK_BASE;
    // The tag's own link is written relative to the base before it; later links to this one.
    int before = base.nBase;
    if (!base.bFullUrl) {
        file.m_vBases.push_back(w);
        base.nBase = static_cast<int>(file.m_vBases.size()) - 1;
    }
    // Under a full base URL the tag's own link is made absolute against the base before it.
    bool keep = ResolveLink(file, tag, base);
    tag.m_nBase = before;
    if (base.bFullUrl) base.strBaseUrl = ResolveReference(base.strBaseUrl, decoded);
    if (keep) tags.push_back(std::move(tag));
}

}  // namespace

int ExamineTag(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
               CLinkBase& base, std::vector<CHtmlNode::CTag>& tags) {
    // A row can match only when the tag's name is the row's, followed by white space; trying
    // just the rows of that name gives what trying every row in order gives.
    size_t nameBegin = SkipSpace(text, 1);
    size_t nameEnd = nameBegin;
    while (nameEnd < text.size() && !IsSpace(text[nameEnd]))
        ++nameEnd;
    if (nameEnd >= text.size() || nameEnd - nameBegin > 7) return 0;
    std::string name;
    for (size_t i = nameBegin; i < nameEnd; ++i)
        name += LowerAscii(text[i]);

    int errors = 0;
    for (const AttributeRow& row : kRows) {
        if (row.tag != name) continue;
        CHtmlNode::CTag tag = scanned;
        std::string value;
        AttrResult r = FindAttribute(text, row.tag, row.attr, tag, value);
        if (r == AttrResult::BadFormat) ++errors;
        if (r != AttrResult::Found) continue;
        switch (row.kind) {
            case RowKind::Plain:
                tag.m_strUrl = value;
                if (ResolveLink(file, tag, base)) tags.push_back(std::move(tag));
                break;
            case RowKind::Image:
                tag.m_strUrl = value;
                errors += ExamineImage(file, scanned, text, tag, base, tags);
                break;
            case RowKind::Base:
                ExamineBase(file, tag, value, base, tags);
                break;
        }
        return errors;
    }
    return errors;
}

}  // namespace ts
