#include "html/Attributes.h"

#include <cstring>

#include "base/ReportStream.h"
#include "html/CharRefs.h"
#include "html/CssLinks.h"
#include "html/Srcset.h"
#include "html/TagTokenizer.h"
#include "html/Url.h"
#include "platform/Text.h"
#include "site/LineEndTable.h"

namespace ts {

namespace {

enum class RowKind : unsigned char { Url, Base, Srcset, Refresh };

struct AttributeRow {
    std::string_view tag;
    std::string_view attr;
    RowKind kind;
};

// Every row whose tag and attribute match gives a link; the tag's attributes are read in the
// order they stand.
constexpr AttributeRow kRows[] = {
    {"a", "href", RowKind::Url},
    {"frame", "src", RowKind::Url},
    {"body", "background", RowKind::Url},
    {"area", "href", RowKind::Url},
    {"link", "href", RowKind::Url},
    {"link", "imagesrcset", RowKind::Srcset},
    {"style", "href", RowKind::Url},
    {"object", "codebase", RowKind::Url},
    {"applet", "codebase", RowKind::Url},
    {"form", "action", RowKind::Url},
    {"input", "src", RowKind::Url},
    {"input", "formaction", RowKind::Url},
    {"bgsound", "src", RowKind::Url},
    {"embed", "src", RowKind::Url},
    {"img", "src", RowKind::Url},
    {"img", "usemap", RowKind::Url},
    {"img", "dynsrc", RowKind::Url},
    {"img", "lowsrc", RowKind::Url},
    {"img", "srcset", RowKind::Srcset},
    {"base", "href", RowKind::Base},
    // Scripts and media of today's pages: without these rows a renamed script would keep its
    // old name in the page and be listed as unused.
    {"script", "src", RowKind::Url},
    {"iframe", "src", RowKind::Url},
    {"source", "src", RowKind::Url},
    {"source", "srcset", RowKind::Srcset},
    {"video", "src", RowKind::Url},
    {"video", "poster", RowKind::Url},
    {"audio", "src", RowKind::Url},
    {"track", "src", RowKind::Url},
    {"object", "data", RowKind::Url},
    {"td", "background", RowKind::Url},
    {"th", "background", RowKind::Url},
    {"table", "background", RowKind::Url},
    {"button", "formaction", RowKind::Url},
    {"blockquote", "cite", RowKind::Url},
    {"q", "cite", RowKind::Url},
    {"ins", "cite", RowKind::Url},
    {"del", "cite", RowKind::Url},
    {"meta", "content", RowKind::Refresh},
    {"image", "href", RowKind::Url},
    {"image", "xlink:href", RowKind::Url},
    {"use", "href", RowKind::Url},
    {"use", "xlink:href", RowKind::Url},
};

constexpr size_t kMaxRowsOfTag = 8;
constexpr size_t kMaxAttributes = 64;

// True when text is word (lower case), ignoring case.
bool IsWord(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(text[i]) != word[i]) return false;
    return true;
}

// One attribute of a tag: offsets into the tag's text.
struct Attr {
    uint32_t nameBegin = 0, nameEnd = 0;
    uint32_t valueBegin = 0, valueEnd = 0;
    bool hasValue = false;
    bool complete = true;  // false when the text ends inside its value
    LinkQuote quote = LinkQuote::None;
};

// The tag's name and attributes as the tokenizer reads them, and its parse errors besides the
// quotes out of place, which the scanner reports for every tag.
struct Tokens {
    std::string_view name;
    Attr attrs[kMaxAttributes];
    size_t count = 0;
    int errors = 0;
};

bool IsBadUnquoted(char c) {
    return c == '=' || c == '`';
}

void BeginAttr(Tokens& t, TagState prev, char c, size_t i) {
    if (prev == TagState::AfterValue || c == '=') ++t.errors;
    if (t.count < kMaxAttributes) {
        t.attrs[t.count] = Attr();
        t.attrs[t.count].nameBegin = static_cast<uint32_t>(i);
    }
    ++t.count;
}

void NoteValue(Attr& a, TagState prev, TagState now, size_t i) {
    if (prev == TagState::BeforeValue && now != TagState::BeforeValue) {
        a.hasValue = now != TagState::Done;
        a.quote = now == TagState::ValueDouble   ? LinkQuote::Double
                  : now == TagState::ValueSingle ? LinkQuote::Single
                                                 : LinkQuote::None;
        a.valueBegin = static_cast<uint32_t>(now == TagState::ValueUnquoted ? i : i + 1);
        a.valueEnd = a.valueBegin;
    }
    if ((prev == TagState::ValueUnquoted && now != TagState::ValueUnquoted) ||
        prev == TagState::ValueDouble || prev == TagState::ValueSingle)
        a.valueEnd = static_cast<uint32_t>(i);
}

// The attribute the state change at text[i] starts or ends.
void Note(Tokens& t, TagState prev, TagState now, std::string_view text, size_t i) {
    const char c = text[i];
    if (now == TagState::AttrName && prev != TagState::AttrName) {
        BeginAttr(t, prev, c, i);
        return;
    }
    if (t.count == 0 || t.count > kMaxAttributes) return;
    Attr& a = t.attrs[t.count - 1];
    if (prev == TagState::AttrName && now != TagState::AttrName)
        a.nameEnd = static_cast<uint32_t>(i);
    if (now == TagState::ValueUnquoted && IsBadUnquoted(c)) ++t.errors;
    NoteValue(a, prev, now, i);
}

// Reads a start tag's text from its "<"; false when the text does not end the tag.
bool Tokenize(std::string_view text, Tokens& t) {
    TagState state = TagState::Name;
    size_t i = 1;
    while (i < text.size()) {
        if (state == TagState::ValueDouble || state == TagState::ValueSingle) {
            size_t close = text.find(state == TagState::ValueDouble ? '"' : '\'', i);
            if (close == std::string_view::npos) break;
            i = close;
        }
        const TagState next = NextTagState(state, text[i]);
        if (state == TagState::Name && next != TagState::Name) t.name = text.substr(1, i - 1);
        if (next != state || next == TagState::ValueUnquoted || next == TagState::AttrName)
            Note(t, state, next, text, i);
        state = next;
        if (state == TagState::Done) return true;
        ++i;
    }
    if (t.count > 0 && t.count <= kMaxAttributes) {
        Attr& a = t.attrs[t.count - 1];
        if (state == TagState::AttrName) a.nameEnd = static_cast<uint32_t>(text.size());
        a.complete = !(state == TagState::ValueDouble || state == TagState::ValueSingle ||
                       state == TagState::ValueUnquoted);
    }
    return false;
}

std::string_view NameOf(std::string_view text, const Attr& a) {
    return text.substr(a.nameBegin, a.nameEnd - a.nameBegin);
}

std::string_view ValueOf(std::string_view text, const Attr& a) {
    return text.substr(a.valueBegin, a.valueEnd - a.valueBegin);
}

// The first attribute named name (lower case); null when there is none.
const Attr* Find(std::string_view text, const Tokens& t, std::string_view name) {
    for (size_t i = 0; i < t.count && i < kMaxAttributes; ++i)
        if (IsWord(NameOf(text, t.attrs[i]), name)) return &t.attrs[i];
    return nullptr;
}

// True for a charset name of a wide encoding: UTF-16 or UTF-32 in any spelling.
bool IsWideCharset(std::string_view value) {
    std::string name;
    for (char c : value)
        if (c != '-' && c != '_' && !IsHtmlSpace(c) && c != '"' && c != '\'') name += LowerAscii(c);
    return name.starts_with("utf16") || name.starts_with("utf32");
}

// The charset named in a Content-Type value ("text/html; charset=utf-16").
std::string_view CharsetOf(std::string_view content) {
    for (size_t i = 0; i + 7 <= content.size(); ++i) {
        if (!IsWord(content.substr(i, 7), "charset")) continue;
        size_t j = i + 7;
        while (j < content.size() && IsHtmlSpace(content[j]))
            ++j;
        if (j < content.size() && content[j] == '=') return content.substr(j + 1);
    }
    return std::string_view();
}

// The URL parser strips C0 controls and blanks around a URL: the record frames only the URL
// proper, so that a rewrite leaves them as written and never escapes them into the path.
CSpan Trimmed(std::string_view s, size_t begin, size_t end) {
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 0x20)
        --end;
    return {begin, end};
}

// Where the first "?" or "#" of url stands in raw, raw.size() when there is none. The "#" of a
// numeric character reference ("g&#9;.html") starts no fragment, and a reference may stand
// for one ("&quest;").
size_t RawQueryStart(std::string_view raw, std::string_view url) {
    const size_t at = url.find_first_of("?#");
    if (at == std::string_view::npos) return raw.size();
    if (raw.find('&') == std::string_view::npos) return raw.find_first_of("?#");
    std::string decoded;
    std::vector<uint32_t> rawAt;
    DecodeCharRefs(raw, decoded, &rawAt);
    return decoded == url ? rawAt[at] : raw.find_first_of("?#");
}

}  // namespace

bool MakeLinkRecord(std::string_view raw, uint64_t rawStart, std::string_view url,
                    CHtmlNode::CTag& tag) {
    const size_t end = RawQueryStart(raw, url);
    url = url.substr(0, url.find('#'));
    if (url.empty()) return false;
    tag.m_strUrl = url;
    size_t replace = 0;
    while (replace < raw.size() && IsAsciiLetter(raw[replace]))
        ++replace;
    replace = (replace > 0 && replace < raw.size() && raw[replace] == ':') ? replace + 1 : 0;
    tag.m_nStart = rawStart + replace;
    tag.m_nEnd = rawStart + std::max(end, replace);
    return true;
}

AttrResult FindAttribute(std::string_view text, std::string_view tagName, std::string_view attr,
                         CHtmlNode::CTag& tag, std::string& value) {
    // Offsets are 32 bits: far more than the longest tag examined.
    text = text.substr(0, UINT32_MAX);
    Tokens t;
    Tokenize(text, t);
    if (!IsWord(t.name, tagName)) return AttrResult::Absent;
    const Attr* a = Find(text, t, attr);
    if (!a) return AttrResult::Absent;
    if (!a->complete) return AttrResult::BadFormat;
    if (!a->hasValue) return AttrResult::Absent;
    std::string decoded;
    DecodeCharRefs(ValueOf(text, *a), decoded);
    if (!MakeLinkRecord(ValueOf(text, *a), tag.m_nStart + a->valueBegin, decoded, tag))
        return AttrResult::Absent;
    // Only the offsets change: the caller decides what the record's URL is.
    value = tag.m_strUrl.Str();
    tag.m_strUrl = CCompactString();
    return AttrResult::Found;
}

namespace {

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
    // Later links are relative to this base.
    if (!base.bFullUrl) {
        file.m_vBases.push_back(w);
        base.nBase = static_cast<int>(file.m_vBases.size()) - 1;
    }
    // Under a full base URL the tag's own link is made absolute against the base before it.
    bool keep = ResolveLink(file, tag, base);
    if (base.bFullUrl) base.strBaseUrl = ResolveReference(base.strBaseUrl, decoded);
    if (keep) tags.push_back(std::move(tag));
}

std::string LowerName(std::string_view name) {
    std::string lower;
    for (char c : name.substr(0, 16))
        lower += LowerAscii(c);
    return lower;
}

// The rows of the tag named lower; their count.
size_t RowsOf(std::string_view lower, const AttributeRow* (&rows)[kMaxRowsOfTag]) {
    size_t n = 0;
    for (const AttributeRow& row : kRows)
        if (row.tag == lower && n < kMaxRowsOfTag) rows[n++] = &row;
    return n;
}

// True for a start tag with no row of its own, no attribute that could be "style" and no meta
// charset to look at: nothing of it is a link, and its errors do not count. Its name is read as
// Tokenize reads it; a tag that never ends gets the full reading.
bool CarriesNoUrl(std::string_view text) {
    size_t end = 1;
    while (end < text.size() && NextTagState(TagState::Name, text[end]) == TagState::Name)
        ++end;
    if (end == text.size()) return false;
    const std::string lower = LowerName(text.substr(1, end - 1));
    const AttributeRow* rows[kMaxRowsOfTag];
    if (lower == "meta" || RowsOf(lower, rows) > 0) return false;
    for (size_t i = end; i + 5 <= text.size(); ++i)
        if (IsWord(text.substr(i, 5), "style")) return false;
    return true;
}

// Whether a tag's text holds "id" or "name" in any case: only then can it offer a fragment.
bool MayNameAnchor(std::string_view text) {
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = LowerAscii(text[i]);
        if (c == 'i' && LowerAscii(text[i + 1]) == 'd') return true;
        if (c == 'n' && i + 3 < text.size() && LowerAscii(text[i + 1]) == 'a' &&
            LowerAscii(text[i + 2]) == 'm' && LowerAscii(text[i + 3]) == 'e')
            return true;
    }
    return false;
}

// The links of one start tag, attribute by attribute.
class CTagExaminer : private CCssSink {
public:
    CTagExaminer(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
                 CLinkBase& base, std::vector<CHtmlNode::CTag>& tags, CLineCursor* lines)
        : m_file(file),
          m_scanned(scanned),
          m_text(text),
          m_base(base),
          m_tags(tags),
          m_lines(lines) {}

    void Run(CTagExam& exam) {
        // Most tags of a page (div, span, p, td...) carry no URL: told apart before reading
        // their attributes.
        const bool noUrl = CarriesNoUrl(m_text);
        const bool anchors = m_file.m_pAnchors && MayNameAnchor(m_text);
        if (noUrl && !anchors) return;
        Tokenize(m_text, m_t);
        const std::string lower = LowerName(m_t.name);
        if (anchors) CollectAnchors(lower == "a");
        if (noUrl) return;
        const AttributeRow* rows[kMaxRowsOfTag];
        const size_t nRows = RowsOf(lower, rows);
        // Errors count only in tags that carry links: elsewhere a browser's recovery does not
        // change what the site links to.
        if (nRows > 0) exam.nErrors += m_t.errors;
        bool refresh = false;
        if (lower == "meta") refresh = ExamineMeta(exam);
        unsigned seen = 0;
        bool styleSeen = false;
        for (size_t i = 0; i < m_t.count && i < kMaxAttributes; ++i) {
            const Attr& a = m_t.attrs[i];
            const std::string_view name = NameOf(m_text, a);
            if (IsWord(name, "style") && !styleSeen) {
                styleSeen = true;
                ExamineStyle(a);
            }
            for (size_t r = 0; r < nRows; ++r) {
                if (!IsWord(name, rows[r]->attr)) continue;
                // A browser uses the first of an attribute given twice.
                if (seen & (1u << r)) {
                    ++exam.nErrors;
                    continue;
                }
                seen |= 1u << r;
                if (rows[r]->kind != RowKind::Refresh || refresh) ExamineValue(*rows[r], a);
            }
        }
    }

private:
    // A meta tag's charset, or its refresh; true when its content is a refresh.
    bool ExamineMeta(CTagExam& exam) {
        const Attr* equiv = Find(m_text, m_t, "http-equiv");
        const Attr* content = Find(m_text, m_t, "content");
        const Attr* charset = Find(m_text, m_t, "charset");
        if (charset && charset->hasValue && IsWideCharset(ValueOf(m_text, *charset)))
            exam.bWideCharset = true;
        if (!equiv || !equiv->hasValue) return false;
        std::string_view kind = ValueOf(m_text, *equiv);
        if (content && content->hasValue && IsWord(kind, "content-type") &&
            IsWideCharset(CharsetOf(ValueOf(m_text, *content))))
            exam.bWideCharset = true;
        return IsWord(kind, "refresh");
    }

    int LineOf(uint64_t offset) { return m_lines ? m_lines->LineOf(offset) : m_scanned.m_nLine; }
    int ColumnOf(uint64_t offset) {
        return m_lines ? m_lines->ColumnOf(offset) : static_cast<int>(m_scanned.m_nColumn);
    }

    // A record for the URL written as raw at value offset rawAt, read as url.
    void Add(std::string_view raw, size_t rawAt, std::string_view url, LinkQuote quote,
             LinkSource source) {
        CHtmlNode::CTag tag = m_scanned;
        const uint64_t start = m_scanned.m_nStart + rawAt;
        const int line = LineOf(start), column = ColumnOf(start);
        const size_t hash = m_file.m_pAnchors ? url.find('#') : std::string_view::npos;
        int32_t index = -1;  // a link to the page itself
        if (MakeLinkRecord(raw, start, url, tag)) {
            tag.m_nLine = line;
            tag.SetColumn(column);
            tag.m_nQuote = quote;
            tag.m_nSource = source;
            if (!ResolveLink(m_file, tag, m_base)) return;
            index = static_cast<int32_t>(m_tags.size());
            m_tags.push_back(std::move(tag));
        }
        if (hash != std::string_view::npos) AddFragmentLink(index, line, column, url, hash);
    }

    void AddFragmentLink(int32_t index, int line, int column, std::string_view url, size_t hash) {
        auto& links = m_file.m_pFragmentLinks;
        if (!links) links = std::make_unique<std::vector<CHtmlNode::CFragmentLink>>();
        links->push_back(
            {index, line, column, std::string(url), std::string(url.substr(hash + 1))});
    }

    // The id of any element and the name of an "a" element are what a fragment can name.
    void CollectAnchors(bool isA) {
        for (size_t i = 0; i < m_t.count && i < kMaxAttributes; ++i) {
            const Attr& a = m_t.attrs[i];
            if (!a.hasValue || a.valueEnd == a.valueBegin) continue;
            const std::string_view name = NameOf(m_text, a);
            if (!IsWord(name, "id") && !(isA && IsWord(name, "name"))) continue;
            std::string value;
            DecodeCharRefs(ValueOf(m_text, a), value);
            m_file.m_pAnchors->push_back(std::move(value));
        }
    }

    void ExamineValue(const AttributeRow& row, const Attr& a) {
        if (!a.hasValue || !a.complete || a.valueEnd == a.valueBegin) return;
        const std::string_view raw = ValueOf(m_text, a);
        DecodeCharRefs(raw, m_decoded, &m_rawAt);
        if (row.kind == RowKind::Url) {
            AddPart(a, 0, m_decoded.size(), LinkSource::Attribute, a.quote);
        } else if (row.kind == RowKind::Base) {
            const CSpan s = Trimmed(m_decoded, 0, m_decoded.size());
            const uint32_t rawBegin = m_rawAt[s.nBegin], rawEnd = m_rawAt[s.nEnd];
            CHtmlNode::CTag tag = m_scanned;
            if (!MakeLinkRecord(raw.substr(rawBegin, rawEnd - rawBegin),
                                m_scanned.m_nStart + a.valueBegin + rawBegin,
                                std::string_view(m_decoded).substr(s.nBegin, s.nEnd - s.nBegin),
                                tag))
                return;
            tag.m_nQuote = a.quote;
            ExamineBase(m_file, tag, std::string(tag.m_strUrl), m_base, m_tags);
        } else if (row.kind == RowKind::Srcset) {
            for (const CSpan& s : SrcsetUrls(m_decoded))
                AddPart(a, s.nBegin, s.nEnd, LinkSource::SrcsetItem, a.quote);
        } else {
            const CSpan s = RefreshUrl(m_decoded);
            if (s.nEnd > s.nBegin) AddPart(a, s.nBegin, s.nEnd, LinkSource::Refresh, a.quote);
        }
    }

    // A record for the decoded bytes [begin, end) of the attribute's value, blanks around
    // them left out.
    void AddPart(const Attr& a, size_t begin, size_t end, LinkSource source, LinkQuote quote) {
        const CSpan s = Trimmed(m_decoded, begin, end);
        begin = s.nBegin;
        end = s.nEnd;
        const uint32_t rawBegin = m_rawAt[begin], rawEnd = m_rawAt[end];
        const std::string_view raw = ValueOf(m_text, a).substr(rawBegin, rawEnd - rawBegin);
        const std::string url = m_decoded.substr(begin, end - begin);
        Add(raw, a.valueBegin + rawBegin, url, quote, source);
    }

    // The url() and @import of a style attribute, read from its decoded value.
    void ExamineStyle(const Attr& a) {
        if (!a.hasValue || !a.complete || a.valueEnd == a.valueBegin) return;
        const std::string_view raw = ValueOf(m_text, a);
        if (raw.find('(') == std::string_view::npos && raw.find('@') == std::string_view::npos)
            return;
        std::string decoded;
        DecodeCharRefs(raw, decoded, &m_rawAt);
        m_pStyle = &a;
        m_decoded = decoded;
        CCssScanner css(*this);
        css.Feed(decoded.data(), decoded.size(), 0);
        css.Finish();
    }

    void CssLink(const CCssLink& link) override {
        const size_t begin = static_cast<size_t>(link.nStart);
        AddPart(*m_pStyle, begin, begin + link.strUrl.size(), link.nSource, link.nQuote);
    }

    CHtmlNode& m_file;
    const CHtmlNode::CTag& m_scanned;
    std::string_view m_text;
    CLinkBase& m_base;
    std::vector<CHtmlNode::CTag>& m_tags;
    CLineCursor* m_lines;
    Tokens m_t;
    std::string m_decoded;
    std::vector<uint32_t> m_rawAt;
    const Attr* m_pStyle = nullptr;
};

}  // namespace

int ExamineTag(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
               CLinkBase& base, std::vector<CHtmlNode::CTag>& tags, CLineCursor* lines,
               CTagExam* exam) {
    CTagExam local;
    CTagExam& e = exam ? *exam : local;
    // End tags, comments and the like carry no links.
    if (text.size() < 2 || !IsAsciiLetter(text[1])) return 0;
    CTagExaminer(file, scanned, text.substr(0, UINT32_MAX), base, tags, lines).Run(e);
    return e.nErrors;
}

}  // namespace ts
