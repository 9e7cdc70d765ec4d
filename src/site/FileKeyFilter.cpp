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

// A key about to replace the selection [s, e) of a text of len bytes with n bytes (none for
// control keys such as backspace).
struct KeyEdit {
    size_t len, s, e, n;
    char32_t ch;
    bool backspace;
    size_t Kept() const { return len - (e - s); }
};

// An 8.3 name without a dot yet.
int CheckNoDot(const KeyEdit& k) {
    if (k.ch == '.') {
        // The dot splits the text where it is typed: both parts must fit.
        if (k.s > 8) return KEY_BASE_TOO_LONG;
        if (k.len - k.e > 3) return KEY_EXT_TOO_LONG;
        return KEY_OK;
    }
    if (!k.backspace && (k.len == 8 || k.Kept() + k.n > 8)) return KEY_BASE_TOO_LONG;
    return KEY_OK;
}

// An 8.3 name whose dot, at d, stays outside the selection.
int CheckBesideDot(const KeyEdit& k, size_t d) {
    if (k.ch == '.') return KEY_SECOND_DOT;
    const size_t sel = k.e - k.s;
    if (sel == 0 && k.backspace) return k.s == d + 1 && k.len > 9 ? KEY_JOINS_PARTS : KEY_OK;
    if (k.s <= d) {
        const bool tooLong = sel == 0 ? d == 8 || d + k.n > 8 : d - sel + k.n > 8;
        return tooLong ? KEY_BASE_TOO_LONG : KEY_OK;
    }
    const size_t ext = k.len - d - 1;
    const bool tooLong = sel == 0 ? ext >= 3 || ext + k.n > 3 : ext - sel + k.n > 3;
    return tooLong ? KEY_EXT_TOO_LONG : KEY_OK;
}

// The parts are counted in bytes, as the name rules count them, so a character of several
// bytes must fit whole; what the text keeps once the selection is replaced counts, not only
// its length now.
int CheckEightDotThree(std::string_view text, const KeyEdit& k) {
    const size_t d = text.find('.');
    if (d == std::string_view::npos) return CheckNoDot(k);
    if (k.s <= d && d < k.e) return k.ch != '.' && k.Kept() + k.n > 8 ? KEY_JOINS_PARTS : KEY_OK;
    return CheckBesideDot(k, d);
}

// Whether the target allows the character itself.
int CheckChar(int nTarget, const std::string& strInvalid, char32_t ch) {
    // The separator would move the entry out of its directory, whatever the target says.
    if (ch < 0x80 &&
        std::string_view(kNeverInName).find(static_cast<char>(ch)) != std::string_view::npos)
        return KEY_INVALID_CHAR;
    if (nTarget == TFS_ISO9660) {
        if (IsAsciiAlnum(ch) || ch == '.' || ch == '_' || IsControl(ch)) return KEY_OK;
        return KEY_INVALID_CHAR;
    }
    if (nTarget == TFS_UPPER || nTarget == TFS_LOWER) return KEY_OK;
    if (ch < 0x80 && strInvalid.find(static_cast<char>(ch)) != std::string::npos)
        return KEY_INVALID_CHAR;
    return KEY_OK;
}

}  // namespace

std::string Utf8Encode(char32_t ch) {
    std::string out;
    AppendUtf8(out, ch);
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
    KeyEdit k;
    k.len = text.size();
    k.e = std::min(e, k.len);
    k.s = std::min(s, k.e);
    k.n = IsControl(ch) ? 0 : Utf8Encode(ch).size();
    k.ch = ch;
    k.backspace = ch == KEY_BACKSPACE;
    if (!k.backspace && k.len >= static_cast<size_t>(std::max(0, m_nMaxLen))) return KEY_TOO_LONG;
    // The box's own limit: what replaces the selection must fit too.
    if (k.n > 0 && k.Kept() + k.n > static_cast<size_t>(m_nMaxLen)) return KEY_TOO_LONG;
    if (m_nTarget == TFS_ISO9660 || m_nTarget == TFS_DOS_FAT) {
        int code = CheckEightDotThree(text, k);
        if (code != KEY_OK) return code;
    }
    return CheckChar(m_nTarget, m_strInvalid, ch);
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
