#include "html/Srcset.h"

#include "html/TagTokenizer.h"

namespace ts {

namespace {

size_t SkipSpace(std::string_view s, size_t i) {
    while (i < s.size() && IsHtmlSpace(s[i]))
        ++i;
    return i;
}

// From i, past the descriptors of a candidate and the comma that ends it.
size_t SkipDescriptors(std::string_view s, size_t i) {
    bool inParens = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '(') inParens = true;
        if (c == ')') inParens = false;
        if (c == ',' && !inParens) return i + 1;
    }
    return i;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Past "url =" at i, if it is there.
size_t SkipUrlEquals(std::string_view s, size_t i) {
    if (i + 3 > s.size() || Lower(s[i]) != 'u' || Lower(s[i + 1]) != 'r' || Lower(s[i + 2]) != 'l')
        return i;
    size_t eq = SkipSpace(s, i + 3);
    return eq < s.size() && s[eq] == '=' ? SkipSpace(s, eq + 1) : i;
}

}  // namespace

std::vector<CSpan> SrcsetUrls(std::string_view value) {
    std::vector<CSpan> urls;
    size_t i = 0;
    for (;;) {
        while (i < value.size() && (IsHtmlSpace(value[i]) || value[i] == ','))
            ++i;
        if (i >= value.size()) break;
        const size_t begin = i;
        while (i < value.size() && !IsHtmlSpace(value[i]))
            ++i;
        size_t end = i;
        if (value[end - 1] == ',') {
            // A URL that ends in commas ends its candidate: no descriptors follow.
            while (end > begin && value[end - 1] == ',')
                --end;
        } else {
            i = SkipDescriptors(value, i);
        }
        if (end > begin) urls.push_back({begin, end});
    }
    return urls;
}

CSpan RefreshUrl(std::string_view s) {
    size_t i = SkipSpace(s, 0);
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        ++i;
    i = SkipSpace(s, i);
    if (i < s.size() && (s[i] == ';' || s[i] == ',')) ++i;
    i = SkipSpace(s, i);
    i = SkipUrlEquals(s, i);
    size_t end = s.size();
    if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        size_t close = s.find(s[i], i + 1);
        if (close != std::string_view::npos) end = close;
        ++i;
    }
    while (end > i && IsHtmlSpace(s[end - 1]))
        --end;
    return end > i ? CSpan{i, end} : CSpan{};
}

}  // namespace ts
