#include "platform/Text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace ts {
namespace {

// Maps a two-byte code point (U+0080 to U+07FF) to its other case, or returns it unchanged.
unsigned MapTwoByte(unsigned c, bool upper) {
    if (upper) {
        if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
        if (c == 0xFF) return 0x178;
        if (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131 && (c & 1)) return c - 1;
        if (c >= 0x139 && c <= 0x148 && !(c & 1)) return c - 1;
        if (c >= 0x14A && c <= 0x177 && (c & 1)) return c - 1;
        if (c >= 0x179 && c <= 0x17E && !(c & 1)) return c - 1;
        if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
        if (c == 0x3C2) return 0x3A3;
        if (c == 0x3AC) return 0x386;
        if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
        if (c == 0x3CC) return 0x38C;
        if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
        if (c >= 0x430 && c <= 0x44F) return c - 0x20;
        if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    } else {
        if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
        if (c == 0x178) return 0xFF;
        if (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131 && !(c & 1)) return c + 1;
        if (c >= 0x139 && c <= 0x148 && (c & 1)) return c + 1;
        if (c >= 0x14A && c <= 0x177 && !(c & 1)) return c + 1;
        if (c >= 0x179 && c <= 0x17E && (c & 1)) return c + 1;
        if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return c + 0x25;
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return c + 0x3F;
        if (c >= 0x410 && c <= 0x42F) return c + 0x20;
        if (c >= 0x400 && c <= 0x40F) return c + 0x50;
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

std::string ToUpper(std::string_view s) { return MapCase(s, true); }
std::string ToLower(std::string_view s) { return MapCase(s, false); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

int CompareNoCase(std::string_view a, std::string_view b) {
    std::string fa = FoldCase(a), fb = FoldCase(b);
    int c = fa.compare(fb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

size_t Utf8SequenceLength(std::string_view s, size_t i, bool allowTruncated) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len;
    unsigned min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    unsigned c = b & (0xFF >> (len + 1));
    size_t k = 1;
    for (; k < len && i + k < s.size(); ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        c = (c << 6) | (t & 0x3F);
        // Reject overlong forms, surrogates and values above U+10FFFF as early as they show.
        if (k == 1) {
            if (len == 3 && b == 0xE0 && t < 0xA0) return 0;
            if (len == 3 && b == 0xED && t > 0x9F) return 0;
            if (len == 4 && b == 0xF0 && t < 0x90) return 0;
            if (len == 4 && b == 0xF4 && t > 0x8F) return 0;
        }
    }
    if (k < len) return allowTruncated ? s.size() - i : 0;
    if (c < min) return 0;
    return len;
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
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
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

}  // namespace ts
