#include "site/FileKeyFilter.h"

#include "base/RunSettings.h"
#include "platform/Text.h"
#include "site/NameRules.h"

namespace ts {
namespace {

bool IsControl(char32_t ch) {
    return ch < 0x20 || ch == 0x7F;
}

bool IsAsciiAlnum(char32_t ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
}

// Decodes the character at s[i]; a byte that starts no valid sequence stands for itself.
char32_t DecodeAt(std::string_view s, size_t i, size_t& len) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    len = b < 0x80 ? 1 : Utf8SequenceLength(s, i);
    if (len <= 1) {
        len = 1;
        return b;
    }
    char32_t ch = b & (0xFF >> (len + 1));
    for (size_t k = 1; k < len; ++k)
        ch = (ch << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return ch;
}

}  // namespace

std::string Utf8Encode(char32_t ch) {
    std::string out;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return out;
}

CFileKeyFilter::CFileKeyFilter(int nTarget, int nMaxLen) : m_nMaxLen(nMaxLen) {
    SetTarget(nTarget);
}

void CFileKeyFilter::SetTarget(int nTarget) {
    m_nTarget = nTarget;
    m_strInvalid = InvalidChars(nTarget);
    m_nCase = CASE_KEEP;
    if (nTarget == TFS_ISO9660 || nTarget == TFS_DOS_FAT || nTarget == TFS_UPPER)
        m_nCase = CASE_UPPER;
    if (nTarget == TFS_LOWER) m_nCase = CASE_LOWER;
}

std::string CFileKeyFilter::ShowCase(std::string_view text) const {
    if (m_nCase == CASE_UPPER) return ToUpper(text);
    if (m_nCase == CASE_LOWER) return ToLower(text);
    return std::string(text);
}

int CFileKeyFilter::Check(std::string_view text, size_t s, size_t e, char32_t ch) const {
    const size_t len = text.size();
    e = std::min(e, len);
    s = std::min(s, e);
    const bool backspace = ch == KEY_BACKSPACE;
    if (!backspace && len >= static_cast<size_t>(std::max(0, m_nMaxLen))) return KEY_TOO_LONG;
    // The box's own limit: what replaces the selection must fit too.
    if (!IsControl(ch) && len - (e - s) + Utf8Encode(ch).size() > static_cast<size_t>(m_nMaxLen))
        return KEY_TOO_LONG;

    if (m_nTarget == TFS_ISO9660 || m_nTarget == TFS_DOS_FAT) {
        // The parts are counted in bytes, as the name rules count them, so a character of
        // several bytes must fit whole; what the text keeps once the selection is replaced
        // counts, not only its length now.
        const size_t n = backspace || IsControl(ch) ? 0 : Utf8Encode(ch).size();
        const size_t kept = len - (e - s);
        const size_t d = text.find('.');
        if (d == std::string_view::npos) {
            if (ch == '.') {
                // The dot splits the text where it is typed: both parts must fit.
                if (s > 8) return KEY_BASE_TOO_LONG;
                if (len - e > 3) return KEY_EXT_TOO_LONG;
            } else if (!backspace && (len == 8 || kept + n > 8)) {
                return KEY_BASE_TOO_LONG;
            }
        } else if (s <= d && d < e) {
            if (ch != '.' && kept + n > 8) return KEY_JOINS_PARTS;
        } else {
            if (ch == '.') return KEY_SECOND_DOT;
            const size_t ext = len - d - 1;
            if (s == e) {
                if (backspace) {
                    if (s == d + 1 && len > 9) return KEY_JOINS_PARTS;
                } else if (s <= d) {
                    if (d == 8 || d + n > 8) return KEY_BASE_TOO_LONG;
                } else if (ext >= 3 || ext + n > 3) {
                    return KEY_EXT_TOO_LONG;
                }
            } else if (s <= d) {
                if (d - (e - s) + n > 8) return KEY_BASE_TOO_LONG;
            } else if (ext - (e - s) + n > 3) {
                return KEY_EXT_TOO_LONG;
            }
        }
    }

    // The separator would move the entry out of its directory, whatever the target says.
    if (ch < 0x80 &&
        std::string_view(kNeverInName).find(static_cast<char>(ch)) != std::string_view::npos)
        return KEY_INVALID_CHAR;
    if (m_nTarget == TFS_ISO9660) {
        if (IsAsciiAlnum(ch) || ch == '.' || ch == '_' || IsControl(ch)) return KEY_OK;
        return KEY_INVALID_CHAR;
    }
    if (m_nTarget == TFS_UPPER || m_nTarget == TFS_LOWER) return KEY_OK;
    if (ch < 0x80 && m_strInvalid.find(static_cast<char>(ch)) != std::string::npos)
        return KEY_INVALID_CHAR;
    return KEY_OK;
}

int CFileKeyFilter::TypeName(std::string_view typed, std::string& result,
                             std::string& refused) const {
    result.clear();
    refused.clear();
    for (size_t i = 0; i < typed.size();) {
        size_t len;
        char32_t ch = DecodeAt(typed, i, len);
        std::string one(typed.substr(i, len));
        i += len;
        // A typed line holds no editing keys; a control character is never part of a name.
        int code =
            IsControl(ch) ? KEY_INVALID_CHAR : Check(result, result.size(), result.size(), ch);
        if (code != KEY_OK) {
            refused = one;
            return code;
        }
        result += ShowCase(one);
    }
    return KEY_OK;
}

std::string CFileKeyFilter::Reason(int nCode, const std::string& refused) const {
    switch (nCode) {
        case KEY_TOO_LONG:
            return "the name can be at most " + std::to_string(m_nMaxLen) + " bytes long here";
        case KEY_BASE_TOO_LONG:
            return "a name has at most 8 characters before the dot";
        case KEY_EXT_TOO_LONG:
            return "a name has at most 3 characters after the dot";
        case KEY_SECOND_DOT:
            return "a name has only one dot";
        case KEY_JOINS_PARTS:
            return "without the dot the name would have more than 8 characters";
        case KEY_INVALID_CHAR:
            if (refused.size() == 1 && IsControl(static_cast<unsigned char>(refused[0])))
                return "control characters are not allowed in filenames";
            return "\"" + refused + "\" is not allowed in " + RulesOf(m_nTarget).strPromptName +
                   " filenames";
        default:
            return std::string();
    }
}

}  // namespace ts
