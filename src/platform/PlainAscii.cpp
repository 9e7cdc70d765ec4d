#include "platform/PlainAscii.h"

#include "platform/Text.h"

namespace ts {
namespace {

// Base letters of U+00C0 to U+00FF and of U+0100 to U+017F (Latin Extended-A), one per code
// point; "*" marks a letter that becomes two (LetterPair), "_" a sign that is no letter.
constexpr std::string_view kLatin1 =
    "AAAAAA*CEEEEIIIIDNOOOOO_OUUUUY**"
    "aaaaaa*ceeeeiiiidnooooo_ouuuuy*y";
constexpr std::string_view kLatinExtA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo**RrRrRrSs"
    "SsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(kLatin1.size() == 0x40 && kLatinExtA.size() == 0x80);

std::string_view LetterPair(char32_t cp) {
    switch (cp) {
        case 0xC6:
            return "AE";
        case 0xE6:
            return "ae";
        case 0xDE:
            return "TH";
        case 0xFE:
            return "th";
        case 0xDF:
            return "ss";
        case 0x132:
            return "IJ";
        case 0x133:
            return "ij";
        case 0x152:
            return "OE";
        case 0x153:
            return "oe";
        default:
            return "_";
    }
}

// The ASCII that stands for one code point of 128 and above.
std::string_view AsciiOf(char32_t cp) {
    if (cp >= 0x300 && cp <= 0x36F) return std::string_view();  // combining marks
    char32_t first = 0xC0;
    std::string_view table = kLatin1;
    if (cp >= 0x100) {
        first = 0x100;
        table = kLatinExtA;
    }
    if (cp < first || cp - first >= table.size()) return "_";
    const size_t at = cp - first;
    if (table[at] == '*') return LetterPair(cp);
    return table.substr(at, 1);
}

char32_t Decode(std::string_view s, size_t i, size_t len) {
    char32_t cp = static_cast<unsigned char>(s[i]) & (0xFF >> (len + 1));
    for (size_t k = 1; k < len; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return cp;
}

}  // namespace

std::string ToPlainAscii(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            out += s[i++];
            continue;
        }
        const size_t len = Utf8SequenceLength(s, i);
        if (len == 0) {
            out += '_';  // a stray byte
            ++i;
            continue;
        }
        out += AsciiOf(Decode(s, i, len));
        i += len;
    }
    return out;
}

}  // namespace ts
