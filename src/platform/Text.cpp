#include "platform/Text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <span>

namespace ts {
namespace {

// A run of code points whose other case lies a fixed distance away. In Latin Extended-A the
// two cases alternate, so a run there names every second code point (stride 2).
struct CaseRun {
    unsigned lo, hi, stride;
    int delta;
};

constexpr CaseRun kToUpper[] = {
    {0xE0, 0xF6, 1, -0x20},   {0xF8, 0xFE, 1, -0x20},   {0xFF, 0xFF, 1, 0x178 - 0xFF},
    {0x101, 0x12F, 2, -1},    {0x133, 0x137, 2, -1},    {0x13A, 0x148, 2, -1},
    {0x14B, 0x177, 2, -1},    {0x17A, 0x17E, 2, -1},    {0x3AC, 0x3AC, 1, 0x386 - 0x3AC},
    {0x3AD, 0x3AF, 1, -0x25}, {0x3B1, 0x3C1, 1, -0x20}, {0x3C2, 0x3C2, 1, 0x3A3 - 0x3C2},
    {0x3C3, 0x3C9, 1, -0x20}, {0x3CC, 0x3CC, 1, -0x40}, {0x3CD, 0x3CE, 1, -0x3F},
    {0x430, 0x44F, 1, -0x20}, {0x450, 0x45F, 1, -0x50},
};

constexpr CaseRun kToLower[] = {
    {0xC0, 0xD6, 1, 0x20},   {0xD8, 0xDE, 1, 0x20},   {0x178, 0x178, 1, 0xFF - 0x178},
    {0x100, 0x12E, 2, 1},    {0x132, 0x136, 2, 1},    {0x139, 0x147, 2, 1},
    {0x14A, 0x176, 2, 1},    {0x179, 0x17D, 2, 1},    {0x386, 0x386, 1, 0x3AC - 0x386},
    {0x388, 0x38A, 1, 0x25}, {0x38C, 0x38C, 1, 0x40}, {0x38E, 0x38F, 1, 0x3F},
    {0x391, 0x3A1, 1, 0x20}, {0x3A3, 0x3A9, 1, 0x20}, {0x400, 0x40F, 1, 0x50},
    {0x410, 0x42F, 1, 0x20},
};

// Maps a two-byte code point (U+0080 to U+07FF) to its other case, or returns it unchanged.
unsigned MapTwoByte(unsigned c, bool upper) {
    using Runs = std::span<const CaseRun>;
    const Runs runs = upper ? Runs(kToUpper) : Runs(kToLower);
    for (const CaseRun& r : runs) {
        if (c >= r.lo && c <= r.hi && (c - r.lo) % r.stride == 0)
            return static_cast<unsigned>(static_cast<int>(c) + r.delta);
    }
    return c;
}

std::string MapCase(std::string_view s, bool upper) {
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(out[i]);
        if (b < 0x80) {
            if (upper && b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
            if (!upper && b >= 'A' && b <= 'Z') out[i] = static_cast<char>(b + 32);
            continue;
        }
        size_t len = Utf8SequenceLength(out, i);
        if (len == 2) {
            unsigned c = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3Fu);
            unsigned m = MapTwoByte(c, upper);
            out[i] = static_cast<char>(0xC0 | (m >> 6));
            out[i + 1] = static_cast<char>(0x80 | (m & 0x3F));
        }
        if (len > 0) i += len - 1;
    }
    return out;
}

}  // namespace

std::string ToUpper(std::string_view s) {
    return MapCase(s, true);
}
std::string ToLower(std::string_view s) {
    return MapCase(s, false);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names are mostly ASCII: compared in place, without folded copies. Folding goes byte
    // sequence by byte sequence from the start, so an ASCII prefix folds alone.
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (static_cast<unsigned char>(a[i] | b[i]) >= 0x80) break;
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return i == a.size() || FoldCase(a.substr(i)) == FoldCase(b.substr(i));
}

int CompareNoCase(std::string_view a, std::string_view b) {
    std::string fa = FoldCase(a), fb = FoldCase(b);
    int c = fa.compare(fb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

namespace {

// What a lead byte starts: the length of its sequence (0 for none) and the range its second
// byte must lie in. The narrow ranges reject overlong forms, surrogates and values above
// U+10FFFF as soon as they show.
struct LeadByte {
    size_t len;
    unsigned lo, hi;
};

LeadByte LeadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b >= 0xE0 && b <= 0xEF) return {3, b == 0xE0 ? 0xA0u : 0x80u, b == 0xED ? 0x9Fu : 0xBFu};
    if (b >= 0xF0 && b <= 0xF4) return {4, b == 0xF0 ? 0x90u : 0x80u, b == 0xF4 ? 0x8Fu : 0xBFu};
    return {0, 0, 0};
}

}  // namespace

size_t Utf8SequenceLength(std::string_view s, size_t i, bool allowTruncated) {
    const LeadByte lead = LeadOf(static_cast<unsigned char>(s[i]));
    if (lead.len == 0) return 0;
    size_t k = 1;
    for (; k < lead.len && i + k < s.size(); ++k) {
        unsigned t = static_cast<unsigned char>(s[i + k]);
        if (t < (k == 1 ? lead.lo : 0x80) || t > (k == 1 ? lead.hi : 0xBF)) return 0;
    }
    if (k < lead.len) return allowTruncated ? s.size() - i : 0;
    return lead.len;
}

size_t Utf8CutLength(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s.size();
    size_t i = 0;
    while (i < maxBytes) {
        size_t len = static_cast<unsigned char>(s[i]) < 0x80 ? 1 : Utf8SequenceLength(s, i);
        if (len == 0) len = 1;  // a stray byte stands alone and may be cut after
        if (i + len > maxBytes) break;
        i += len;
    }
    return i;
}

bool IsUtf8Text(const unsigned char* data, size_t n) {
    std::string_view s(reinterpret_cast<const char*>(data), n);
    for (size_t i = 0; i < n;) {
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        size_t len = Utf8SequenceLength(s, i, true);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string HtmlEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string PadRight(std::string_view s, size_t width) {
    std::string out(s);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace ts
