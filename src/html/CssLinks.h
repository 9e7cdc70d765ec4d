// The links of style sheets: url(...) and @import, found by a scanner that is fed a sheet in
// pieces of any size (a style element, a style attribute, a .css file) and never holds it whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "html/HtmlNode.h"

namespace ts {

struct CCssLink {
    uint64_t nStart = 0;  // offset of the URL's first byte as written
    std::string strUrl;   // the URL as written, escapes and all, blanks around it left out
    LinkQuote nQuote = LinkQuote::CssBare;
    LinkSource nSource = LinkSource::CssUrl;
};

// The CSS escape at s[i], a "\": its length, and in bytes what it stands for (the UTF-8 of a
// hex escape, the very byte after the "\" otherwise, nothing for a "\" that ends a line or
// the text).
size_t CssEscapeAt(std::string_view s, size_t i, std::string& bytes);

// A url() or @import string as written, read the way the CSS tokenizer hands it to the URL
// parser: each escaped byte becomes a "%XY" escape, except a "/", "\", "%", "?" or "#", which
// the parser reads as themselves, and tabs and line ends, which it drops.
std::string CssUrlText(std::string_view written);

class CCssSink {
public:
    virtual ~CCssSink() = default;
    virtual void CssLink(const CCssLink& link) = 0;
};

class CCssScanner {
public:
    // A longer URL is dropped: it is a data: URL, not the name of a file.
    static constexpr size_t kMaxUrl = 8 * 1024;

    explicit CCssScanner(CCssSink& sink) : m_sink(sink) {}

    // The next n bytes of the sheet; offset is that of p[0], the bytes follow those fed before.
    void Feed(const char* p, size_t n, uint64_t offset);
    // The sheet ended: a URL still open is dropped, and the scanner is ready for another.
    void Finish();

private:
    enum class State : unsigned char {
        Normal,
        Slash,
        Comment,
        CommentStar,
        String,
        StringEscape,
        ImportBefore,
        UrlBefore,
        UrlBare,
        UrlBareEscape,
        UrlBareHex,
        UrlBareAfter,
        UrlString,
        UrlStringEscape,
        ImportString,
        ImportStringEscape,
        BadUrl,
    };

    void Step(char c, uint64_t offset);
    void Normal(char c, uint64_t offset);
    void CommentStep(char c, uint64_t offset);
    void StringStep(char c);
    void QuotedStep(char c);
    void OpenStep(char c, uint64_t offset);
    void BareStep(char c);
    void EndIdent();
    void BeginUrl(uint64_t offset, LinkQuote quote, LinkSource source);
    void Keep(char c);
    void Emit();

    CCssSink& m_sink;
    State m_state = State::Normal;
    State m_afterComment = State::Normal;
    char m_quote = 0;
    char m_ident[8] = {};
    size_t m_nIdent = 0;  // bytes of the identifier being read; more than 8 never match
    int m_nHex = 0;       // hex digits of the escape being read in a bare URL
    bool m_bTooLong = false;
    CCssLink m_link;
};

}  // namespace ts
