// Case mapping and UTF-8 helpers shared by the whole program. Names and contents are UTF-8
// bytes; bytes that do not form valid UTF-8 are kept unchanged by every helper here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ts {

// Upper- and lower-case forms of ASCII letters and of the common Latin, Greek and Cyrillic
// letters. A mapped character always keeps its byte length, so offsets stay valid.
std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
// The form used for comparisons that ignore case (lower case, as the sort order expects).
inline std::string FoldCase(std::string_view s) {
    return ToLower(s);
}
bool EqualsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 like strcmp, ignoring case.
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// ASCII only, for the syntax of markup and URLs, where other letters never count.
constexpr bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Appends the UTF-8 bytes of a code point below 0x110000.
void AppendUtf8(std::string& out, char32_t cp);

// The length of the longest prefix of s, at most maxBytes long, that does not end inside a
// valid UTF-8 sequence.
size_t Utf8CutLength(std::string_view s, size_t maxBytes);
inline std::string Utf8Cut(std::string_view s, size_t maxBytes) {
    return std::string(s.substr(0, Utf8CutLength(s, maxBytes)));
}

// Length of the valid UTF-8 sequence starting at s[i] (2 to 4), or 0 when there is none.
// A sequence cut off by the end of s counts as valid when allowTruncated is set.
size_t Utf8SequenceLength(std::string_view s, size_t i, bool allowTruncated = false);

// True when every byte of 128 or more belongs to a valid UTF-8 sequence; a sequence cut off by
// the end of the data counts as valid.
bool IsUtf8Text(const unsigned char* data, size_t n);

// Escapes "&", "<", ">" and the double quote for HTML text and attribute values.
std::string HtmlEscape(std::string_view s);

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Left-justifies s in a field of width bytes (longer texts are not cut).
std::string PadRight(std::string_view s, size_t width);

}  // namespace ts
