#include "html/Url.h"

#include <cstdlib>
#include <string_view>

#include "platform/Text.h"

namespace ts {

// Read from the text as written: a name may hold a ":" too, written "%3A".
int SchemeLength(std::string_view written) {
    if (written.empty() || !IsAsciiLetter(written[0])) return 0;
    size_t i = 1;
    while (i < written.size() &&
           (IsAsciiLetter(written[i]) || (written[i] >= '0' && written[i] <= '9') ||
            written[i] == '+' || written[i] == '-' || written[i] == '.'))
        ++i;
    return i < written.size() && written[i] == ':' ? static_cast<int>(i + 1) : 0;
}

void DecodeUrl(std::string& s) {
    // Most components have nothing to decode.
    if (s.find_first_of("%\t\r\n") == std::string::npos) return;
    std::string clean;
    clean.reserve(s.size());
    for (char c : s)
        if (c != '\t' && c != '\r' && c != '\n') clean += c;
    s.swap(clean);
    // Right to left: each "%" is looked at once, in the text as it stands after the escapes
    // to its right were decoded.
    size_t end = s.size();
    while (end > 0) {
        size_t pct = s.rfind('%', end - 1);
        if (pct == std::string::npos) break;
        std::string digits = s.substr(pct + 1, 2);
        // Read the way strtol reads: blanks and a sign first, then hex digits, none gives 0.
        long value = std::strtol(digits.c_str(), nullptr, 16);
        unsigned char code = static_cast<unsigned char>(value & 0xFF);
        if (code == 0) {
            s.resize(pct);
        } else {
            s.replace(pct, 1 + digits.size(), 1, static_cast<char>(code));
        }
        end = pct;
    }
}

std::string RequestForm(std::string_view written) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(written.size());
    for (char ch : written) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c >= 0x7F ||
            std::string_view("\"<>\\^`{|}").find(ch) != std::string_view::npos) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

void EncodeUrl(std::string& s) {
    static constexpr std::string_view kEscaped = " ;?:@=&<>\"#%{}|\\^~[]`";
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        // Control characters too: a decoder drops a raw CR or LF (browsers also drop tabs),
        // so a name holding one could never be linked without its escape. A NUL is left
        // alone: its escape would end the text when decoded, and no name holds one.
        if (kEscaped.find(c) != std::string_view::npos || (u > 0 && u < 0x20) || u == 0x7F) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    s.swap(out);
}

namespace {
std::string RemoveDotSegments(std::string in);
}  // namespace

void ResolveDotDot(std::string& rel, std::string base, char sep) {
    size_t cut = 0;
    int levels = 0;
    while (rel.compare(cut, 2, "..") == 0) {
        if (rel.size() - cut <= 2) {
            cut = rel.size();
        } else if (rel[cut + 2] != sep) {
            break;
        } else {
            cut += 3;
        }
        ++levels;
    }
    rel.erase(0, cut);
    for (int i = 0; i < levels; ++i) {
        // As in a browser, ".." stops at the root: "/" + "../a" is "/a", not the relative "a".
        if (base.size() == 1 && base[0] == sep) break;
        if (!base.empty() && base.back() == sep) base.pop_back();
        size_t last = base.rfind(sep);
        base.resize(last == std::string::npos ? 0 : last + 1);
    }
    rel.insert(0, base);
    // Dot segments further on ("./sub/", "a/../b/") are removed as a browser removes them.
    if (sep == '/' && (rel.find("/.") != std::string::npos || rel.starts_with(".")))
        rel = RemoveDotSegments(rel);
}

namespace {

// The parts of a URI reference that resolution needs (it never carries a fragment here).
struct UriParts {
    bool hasScheme = false;
    std::string scheme;
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
};

UriParts Split(const std::string& s) {
    UriParts u;
    size_t i = static_cast<size_t>(SchemeLength(s));
    if (i > 0) {
        u.hasScheme = true;
        u.scheme = s.substr(0, i - 1);
    }
    if (s.compare(i, 2, "//") == 0) {
        size_t end = s.find_first_of("/?#", i + 2);
        if (end == std::string::npos) end = s.size();
        u.hasAuthority = true;
        u.authority = s.substr(i + 2, end - i - 2);
        i = end;
    }
    size_t end = s.find_first_of("?#", i);
    if (end == std::string::npos) end = s.size();
    u.path = s.substr(i, end - i);
    if (end < s.size() && s[end] == '?') {
        size_t hash = s.find('#', end + 1);
        if (hash == std::string::npos) hash = s.size();
        u.hasQuery = true;
        u.query = s.substr(end + 1, hash - end - 1);
    }
    return u;
}

// Removes "." and ".." segments the way URI resolution does.
std::string RemoveDotSegments(std::string in) {
    std::string out;
    size_t i = 0;
    auto rest = [&] { return std::string_view(in).substr(i); };
    auto dropLastSegment = [&] {
        size_t slash = out.rfind('/');
        out.resize(slash == std::string::npos ? 0 : slash);
    };
    while (i < in.size()) {
        std::string_view r = rest();
        if (r.starts_with("../")) {
            i += 3;
        } else if (r.starts_with("./")) {
            i += 2;
        } else if (r.starts_with("/./")) {
            i += 2;
        } else if (r == "/.") {
            in.replace(i, 2, "/");
        } else if (r.starts_with("/../")) {
            i += 3;
            dropLastSegment();
        } else if (r == "/..") {
            in.replace(i, 3, "/");
            dropLastSegment();
        } else if (r == "." || r == "..") {
            i = in.size();
        } else {
            size_t next = in.find('/', i + (r[0] == '/' ? 1 : 0));
            if (next == std::string::npos) next = in.size();
            out.append(in, i, next - i);
            i = next;
        }
    }
    return out;
}

}  // namespace

std::string ResolveReference(const std::string& base, const std::string& ref) {
    UriParts b = Split(base);
    UriParts r = Split(ref);
    UriParts t;
    if (r.hasScheme) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        if (r.hasAuthority) {
            t.hasAuthority = true;
            t.authority = r.authority;
            t.path = RemoveDotSegments(r.path);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        } else {
            if (r.path.empty()) {
                // A base as written may still hold dot segments ("dir/."): a browser removes them.
                t.path = RemoveDotSegments(b.path);
                t.hasQuery = r.hasQuery || b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                if (r.path[0] == '/') {
                    t.path = RemoveDotSegments(r.path);
                } else if (b.hasAuthority && b.path.empty()) {
                    t.path = RemoveDotSegments("/" + r.path);
                } else {
                    size_t slash = b.path.rfind('/');
                    std::string merged =
                        slash == std::string::npos ? r.path : b.path.substr(0, slash + 1) + r.path;
                    t.path = RemoveDotSegments(merged);
                }
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
        }
        t.hasScheme = b.hasScheme;
        t.scheme = b.scheme;
    }
    std::string out;
    if (t.hasScheme) out += t.scheme + ":";
    if (t.hasAuthority) out += "//" + t.authority;
    out += t.path;
    if (t.hasQuery) out += "?" + t.query;
    return out;
}

}  // namespace ts
