#include "html/CssLinks.h"

#include <cstring>

#include "platform/Text.h"

namespace ts {

namespace {

bool IsCssSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsIdentChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

size_t CssEscapeAt(std::string_view s, size_t i, std::string& bytes) {
    bytes.clear();
    size_t j = i + 1;
    if (j >= s.size()) return 1;
    if (s[j] == '\n' || s[j] == '\f' || s[j] == '\r') return s.compare(j, 2, "\r\n") == 0 ? 3 : 2;
    if (!IsHexDigit(s[j])) {
        bytes = s[j];
        return 2;
    }
    uint32_t code = 0;
    for (; j < s.size() && j < i + 7 && IsHexDigit(s[j]); ++j)
        code =
            code * 16 + static_cast<uint32_t>(s[j] <= '9' ? s[j] - '0' : (s[j] | 0x20) - 'a' + 10);
    // One white space ends the escape; CR LF counts as one.
    if (s.compare(j, 2, "\r\n") == 0)
        j += 2;
    else if (j < s.size() && IsCssSpace(s[j]))
        ++j;
    const bool invalid = code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF;
    AppendUtf8(bytes, invalid ? 0xFFFD : code);
    return j - i;
}

std::string CssUrlText(std::string_view written) {
    static const char* const kHex = "0123456789ABCDEF";
    if (written.find('\\') == std::string_view::npos) return std::string(written);
    std::string out, bytes;
    for (size_t i = 0; i < written.size();) {
        if (written[i] != '\\') {
            out += written[i++];
            continue;
        }
        i += CssEscapeAt(written, i, bytes);
        for (char c : bytes) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (c == '/' || c == '\\' || c == '%' || c == '?' || c == '#') {
                out += c;
            } else if (c != '\t' && c != '\n' && c != '\r') {
                out += '%';
                out += kHex[u >> 4];
                out += kHex[u & 0xF];
            }
        }
    }
    return out;
}

void CCssScanner::Feed(const char* p, size_t n, uint64_t offset) {
    for (size_t i = 0; i < n; ++i)
        Step(p[i], offset + i);
}

void CCssScanner::Finish() {
    m_state = State::Normal;
    m_nIdent = 0;
}

void CCssScanner::BeginUrl(uint64_t offset, LinkQuote quote, LinkSource source) {
    m_link.nStart = offset;
    m_link.strUrl.clear();
    m_link.nQuote = quote;
    m_link.nSource = source;
    m_bTooLong = false;
}

void CCssScanner::Keep(char c) {
    if (m_link.strUrl.size() < kMaxUrl)
        m_link.strUrl += c;
    else
        m_bTooLong = true;
}

void CCssScanner::Emit() {
    // The URL parser strips blanks and controls around a quoted URL: they stay out of the
    // record, so that a rewrite leaves them as written.
    std::string& url = m_link.strUrl;
    size_t begin = 0, end = url.size();
    while (begin < end && static_cast<unsigned char>(url[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(url[end - 1]) <= 0x20 &&
           !(end >= 2 && url[end - 2] == '\\'))
        --end;
    url = url.substr(begin, end - begin);
    m_link.nStart += begin;
    if (!m_bTooLong && !url.empty()) m_sink.CssLink(m_link);
    m_link.strUrl.clear();
}

// An identifier just ended: "@import" waits for its URL.
void CCssScanner::EndIdent() {
    if (m_nIdent == 7 && std::memcmp(m_ident, "@import", 7) == 0) m_state = State::ImportBefore;
    m_nIdent = 0;
}

void CCssScanner::Normal(char c, uint64_t offset) {
    if (IsIdentChar(c)) {
        if (m_nIdent < sizeof m_ident) m_ident[m_nIdent] = LowerAscii(c);
        ++m_nIdent;
        return;
    }
    if (c == '(' && m_nIdent == 3 && std::memcmp(m_ident, "url", 3) == 0) {
        m_nIdent = 0;
        m_state = State::UrlBefore;
        return;
    }
    EndIdent();
    if (m_state != State::Normal) {
        Step(c, offset);  // the byte after "@import" belongs to the import
        return;
    }
    if (c == '/') {
        m_afterComment = State::Normal;
        m_state = State::Slash;
    } else if (c == '"' || c == '\'') {
        m_quote = c;
        m_state = State::String;
    }
}

void CCssScanner::CommentStep(char c, uint64_t offset) {
    if (m_state == State::Slash) {
        if (c == '*') {
            m_state = State::Comment;
        } else {
            m_state = m_afterComment;
            Step(c, offset);
        }
    } else if (m_state == State::Comment) {
        if (c == '*') m_state = State::CommentStar;
    } else if (c == '/') {
        m_state = m_afterComment;
    } else if (c != '*') {
        m_state = State::Comment;
    }
}

void CCssScanner::StringStep(char c) {
    if (m_state == State::StringEscape)
        m_state = State::String;
    else if (c == '\\')
        m_state = State::StringEscape;
    else if (c == m_quote || c == '\n' || c == '\r' || c == '\f')
        m_state = State::Normal;
}

// A quoted URL, of url("...") or of @import "...": done at its quote; the rest of a url(...)
// up to its ")" is then skipped.
void CCssScanner::QuotedStep(char c) {
    const bool inUrl = m_state == State::UrlString || m_state == State::UrlStringEscape;
    const State after = inUrl ? State::BadUrl : State::Normal;
    if (m_state == State::UrlStringEscape || m_state == State::ImportStringEscape) {
        Keep(c);
        m_state = inUrl ? State::UrlString : State::ImportString;
    } else if (c == m_quote) {
        Emit();
        m_state = after;
    } else if (c == '\n' || c == '\r' || c == '\f') {
        // A string cut by a line end is no URL.
        m_link.strUrl.clear();
        m_state = after;
    } else {
        Keep(c);
        if (c == '\\') m_state = inUrl ? State::UrlStringEscape : State::ImportStringEscape;
    }
}

// What follows "@import", or "url(": white space, then a string or (for url) a bare URL.
void CCssScanner::OpenStep(char c, uint64_t offset) {
    if (IsCssSpace(c)) return;
    const bool import = m_state == State::ImportBefore;
    if (c == '"' || c == '\'') {
        m_quote = c;
        BeginUrl(offset + 1, c == '"' ? LinkQuote::Double : LinkQuote::Single,
                 import ? LinkSource::CssImport : LinkSource::CssUrl);
        m_state = import ? State::ImportString : State::UrlString;
    } else if (import && c == '/') {
        m_afterComment = State::ImportBefore;
        m_state = State::Slash;
    } else if (import) {
        m_state = State::Normal;
        Normal(c, offset);
    } else if (c == ')') {
        m_state = State::Normal;
    } else {
        BeginUrl(offset, LinkQuote::CssBare, LinkSource::CssUrl);
        m_state = State::UrlBare;
        BareStep(c);
    }
}

void CCssScanner::BareStep(char c) {
    switch (m_state) {
        case State::UrlBareEscape:
            Keep(c);
            m_nHex = IsHexDigit(c) ? 1 : 0;
            m_state = m_nHex ? State::UrlBareHex : State::UrlBare;
            return;
        case State::UrlBareHex:
            // Up to six hex digits, and one white space that ends them, are the escape's.
            m_state = State::UrlBare;
            if ((IsHexDigit(c) && m_nHex < 6) || IsCssSpace(c)) {
                Keep(c);
                if (!IsCssSpace(c)) {
                    ++m_nHex;
                    m_state = State::UrlBareHex;
                }
                return;
            }
            break;
        case State::BadUrl:
            if (c == ')') m_state = State::Normal;
            return;
        default:
            break;
    }
    if (c == ')') {
        Emit();
        m_state = State::Normal;
    } else if (IsCssSpace(c)) {
        m_state = State::UrlBareAfter;
    } else if (m_state == State::UrlBareAfter || c == '"' || c == '\'' || c == '(' ||
               static_cast<unsigned char>(c) < ' ') {
        m_state = State::BadUrl;
    } else {
        Keep(c);
        if (c == '\\') m_state = State::UrlBareEscape;
    }
}

void CCssScanner::Step(char c, uint64_t offset) {
    switch (m_state) {
        case State::Normal:
            Normal(c, offset);
            break;
        case State::Slash:
        case State::Comment:
        case State::CommentStar:
            CommentStep(c, offset);
            break;
        case State::String:
        case State::StringEscape:
            StringStep(c);
            break;
        case State::ImportBefore:
        case State::UrlBefore:
            OpenStep(c, offset);
            break;
        case State::UrlString:
        case State::UrlStringEscape:
        case State::ImportString:
        case State::ImportStringEscape:
            QuotedStep(c);
            break;
        case State::UrlBare:
        case State::UrlBareEscape:
        case State::UrlBareHex:
        case State::UrlBareAfter:
        case State::BadUrl:
            BareStep(c);
            break;
    }
}

}  // namespace ts
