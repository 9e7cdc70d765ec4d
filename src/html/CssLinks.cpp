#include "html/CssLinks.h"

#include <cstring>

namespace ts {

namespace {

bool IsCssSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsIdentChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

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
    if (!m_bTooLong && !m_link.strUrl.empty()) m_sink.CssLink(m_link);
    m_link.strUrl.clear();
}

// An identifier just ended: "@import" waits for its URL.
void CCssScanner::EndIdent() {
    if (m_nIdent == 7 && std::memcmp(m_ident, "@import", 7) == 0) m_state = State::ImportBefore;
    m_nIdent = 0;
}

void CCssScanner::Normal(char c, uint64_t offset) {
    if (IsIdentChar(c)) {
        if (m_nIdent < sizeof m_ident) m_ident[m_nIdent] = Lower(c);
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
            m_state = State::UrlBare;
            return;
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
        case State::UrlBareAfter:
        case State::BadUrl:
            BareStep(c);
            break;
    }
}

}  // namespace ts
