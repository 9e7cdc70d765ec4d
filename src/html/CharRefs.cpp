#include "html/CharRefs.h"

#include "platform/Text.h"

namespace ts {

namespace {

struct NamedRef {
    std::string_view name;
    char c;
};
constexpr NamedRef kNamed[] = {
    {"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};

// NUL, surrogates and values beyond Unicode become U+FFFD, as a browser reads them.
void AppendCodePoint(std::string& out, uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    AppendUtf8(out, cp);
}

// A numeric reference at raw[i] == '&' followed by '#': its length (0 when it is none).
size_t Numeric(std::string_view raw, size_t i, uint32_t& cp) {
    size_t j = i + 2;
    bool hex = j < raw.size() && (raw[j] == 'x' || raw[j] == 'X');
    if (hex) ++j;
    size_t digits = j;
    uint64_t v = 0;
    for (; j < raw.size(); ++j) {
        char c = raw[j];
        int d = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0) break;
        if (v <= 0x10FFFF) v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    if (j == digits) return 0;
    cp = v > 0x10FFFF ? 0x110000 : static_cast<uint32_t>(v);
    return j < raw.size() && raw[j] == ';' ? j + 1 - i : j - i;
}

// A named reference at raw[i] == '&': its character and length (0 when it is not one we know).
size_t Named(std::string_view raw, size_t i, char& c) {
    for (const NamedRef& ref : kNamed) {
        std::string_view rest = raw.substr(i + 1);
        if (rest.size() > ref.name.size() && rest.starts_with(ref.name) &&
            rest[ref.name.size()] == ';') {
            c = ref.c;
            return ref.name.size() + 2;
        }
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
            char c = 0;
            if (raw[i + 1] == '#' && (len = Numeric(raw, i, cp)) > 0)
                AppendCodePoint(out, cp);
            else if ((len = Named(raw, i, c)) > 0)
                out += c;
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
