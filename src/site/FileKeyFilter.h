// The keystroke rules of the file-name edit box: a character that would make the text an
// invalid name for the target is refused, so that only valid names can be typed. Pure logic:
// the desktop edit box forwards each key here, the terminal replays a typed name through it.
// Texts are UTF-8 and every offset and length is in bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ts {

inline constexpr char32_t KEY_BACKSPACE = 8;

// Why a key was refused.
enum {
    KEY_OK = 0,
    KEY_TOO_LONG,       // the text is at its maximum length
    KEY_BASE_TOO_LONG,  // an 8.3 name has 8 characters before the dot
    KEY_EXT_TOO_LONG,   // ... and 3 after it
    KEY_SECOND_DOT,     // ... and one dot
    KEY_JOINS_PARTS,    // deleting the dot would make the name too long before the dot
    KEY_INVALID_CHAR,   // the target does not allow the character
};

class CFileKeyFilter {
public:
    explicit CFileKeyFilter(int nTarget = 1, int nMaxLen = 255);

    void SetTarget(int nTarget);
    void SetMaxLength(int nMaxLen) { m_nMaxLen = nMaxLen; }
    int Target() const { return m_nTarget; }
    int MaxLength() const { return m_nMaxLen; }
    // CASE_UPPER, CASE_LOWER or CASE_KEEP: the case typed letters are shown in.
    int CaseStyle() const { return m_nCase; }
    // The text as the box shows it.
    std::string ShowCase(std::string_view text) const;

    // KEY_OK when ch (a code point, or KEY_BACKSPACE) may be typed into text whose selection
    // runs from selStart to selEnd; otherwise the reason it is refused.
    int Check(std::string_view text, size_t selStart, size_t selEnd, char32_t ch) const;
    bool Accepts(std::string_view text, size_t selStart, size_t selEnd, char32_t ch) const {
        return Check(text, selStart, selEnd, ch) == KEY_OK;
    }

    // Types a whole name character by character at the end of an empty box. KEY_OK and the
    // text as shown in result, or the first refusal with the offending character in refused.
    int TypeName(std::string_view typed, std::string& result, std::string& refused) const;

    // A sentence for a refusal, for people who type on a terminal.
    std::string Reason(int nCode, const std::string& refused) const;

private:
    int m_nTarget = 1;
    int m_nMaxLen = 255;
    int m_nCase = 0;
    std::string m_strInvalid;
};

// The UTF-8 form of a code point.
std::string Utf8Encode(char32_t ch);

}  // namespace ts
