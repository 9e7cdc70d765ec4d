#include "html/CharRefs.h"

#include <algorithm>

#include "platform/Text.h"

namespace ts {

namespace {

struct NamedRef {
    std::string_view name;  // with its ";" when the standard names it so
    std::string_view value;
};

// kLongestRefName, kNamedRefs (sorted by name) and kWindows1252, made at build time.
#include "html/CharRefTables.inc"

// NUL, surrogates and values beyond Unicode become U+FFFD; 128 to 159 are read as the
// Windows-1252 bytes they were meant as, as a browser reads them.
void AppendCodePoint(std::string& out, uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp >= 0x80 && cp <= 0x9F) cp = kWindows1252[cp - 0x80];
    AppendUtf8(out, cp);
}

// The value of a digit of a decimal or hexadecimal reference, -1 for another byte.
int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A numeric reference at raw[i] == '&' followed by '#': its length (0 when it is none).
size_t Numeric(std::string_view raw, size_t i, uint32_t& cp) {
    size_t j = i + 2;
    bool hex = j < raw.size() && (raw[j] == 'x' || raw[j] == 'X');
    if (hex) ++j;
    size_t digits = j;
    uint64_t v = 0;
    for (; j < raw.size(); ++j) {
        const int d = DigitValue(raw[j], hex);
        if (d < 0) break;
        if (v <= 0x10FFFF) v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    if (j == digits) return 0;
    cp = v > 0x10FFFF ? 0x110000 : static_cast<uint32_t>(v);
    return j < raw.size() && raw[j] == ';' ? j + 1 - i : j - i;
}

bool IsAsciiAlnum(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

const NamedRef* Lookup(std::string_view name) {
    const NamedRef* end = std::end(kNamedRefs);
    const NamedRef* at =
        std::lower_bound(std::begin(kNamedRefs), end, name,
                         [](const NamedRef& ref, std::string_view n) { return ref.name < n; });
    return at != end && at->name == name ? at : nullptr;
}

// A named reference at raw[i] == '&': its value and length (0 when it is none). Names are
// letters and digits; the longest that matches counts, and in an attribute value one without
// ";" (a legacy name) is text when a letter, digit or "=" follows it, so with the letters and
// digits after the "&" taken whole, only they can be such a name.
size_t Named(std::string_view raw, size_t i, std::string_view& value) {
    size_t n = 0;
    while (i + 1 + n < raw.size() && IsAsciiAlnum(raw[i + 1 + n]) && n < kLongestRefName)
        ++n;
    if (n == 0 || n == kLongestRefName) return 0;
    const size_t after = i + 1 + n;
    if (after < raw.size() && raw[after] == ';') {
        if (const NamedRef* ref = Lookup(raw.substr(i + 1, n + 1))) {
            value = ref->value;
            return n + 2;
        }
    }
    if (after < raw.size() && raw[after] == '=') return 0;
    if (const NamedRef* ref = Lookup(raw.substr(i + 1, n))) {
        value = ref->value;
        return n + 1;
    }
    return 0;
}

}  // namespace

void DecodeCharRefs(std::string_view raw, std::string& out, std::vector<uint32_t>* rawAt) {
    out.clear();
    if (rawAt) rawAt->clear();
    size_t i = 0;
    while (i < raw.size()) {
        size_t len = 0;
        size_t before = out.size();
        if (raw[i] == '&' && i + 1 < raw.size()) {
            uint32_t cp = 0;
            std::string_view value;
            if (raw[i + 1] == '#') {
                if ((len = Numeric(raw, i, cp)) > 0) AppendCodePoint(out, cp);
            } else if ((len = Named(raw, i, value)) > 0) {
                out += value;
            }
        }
        if (len == 0) {
            out += raw[i];
            len = 1;
        }
        if (rawAt)
            for (size_t k = before; k < out.size(); ++k)
                rawAt->push_back(static_cast<uint32_t>(i));
        i += len;
    }
    if (rawAt) rawAt->push_back(static_cast<uint32_t>(raw.size()));
}

}  // namespace ts
