// The links of style sheets: url(...) and @import, found by a scanner that is fed a sheet in
// pieces of any size (a style element, a style attribute, a .css file) and never holds it whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "html/HtmlNode.h"

namespace ts {

struct CCssLink {
    uint64_t nStart = 0;  // offset of the URL's first byte as written
    std::string strUrl;   // the URL as written, escapes and all
    LinkQuote nQuote = LinkQuote::CssBare;
    LinkSource nSource = LinkSource::CssUrl;
};

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
    bool m_bTooLong = false;
    CCssLink m_link;
};

}  // namespace ts
