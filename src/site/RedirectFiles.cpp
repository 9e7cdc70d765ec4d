#include "site/RedirectFiles.h"

#include <cstdio>

#include "platform/Text.h"

namespace ts {

namespace {

std::string Hex(unsigned char c) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    return buf;
}

// A path Apache's Redirect can name, quoted (a quote and a backslash escaped): no control
// byte, which no configuration line can hold.
bool FitsRedirect(const std::string& path) {
    for (char ch : path) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

// A RewriteRule target: "%" and "$" would be read as references to matches.
std::string RewriteTarget(const std::string& encoded) {
    std::string out;
    for (char c : encoded) {
        if (c == '%' || c == '$') out += '\\';
        out += c;
    }
    return out;
}

// A regular expression that matches exactly text; blanks, quotes and controls as \xHH so
// that the pattern stays one word of a configuration line.
std::string Literal(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F || c == '"' || c == '\'') {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            if (std::string_view(".^$*+?()[]{}|\\").find(ch) != std::string_view::npos) out += '\\';
            out += ch;
        }
    }
    return out;
}

// A double-quoted word of an nginx or Apache configuration.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string ApacheLines(const std::vector<RedirectRule>& rules, const std::string& prefix) {
    std::string redirects, rewrites;
    for (const RedirectRule& r : rules) {
        if (FitsRedirect(r.from)) {
            redirects += "Redirect 301 " + Quoted(r.from) + " " + EncodedPath(r.to) + "\n";
            continue;
        }
        // Matched against the path below the directory of this file, without its "/"; the
        // rest of a directory's path is escaped again (B), blanks as %20 (BNP).
        const std::string below = r.from.substr(std::min(prefix.size() + 1, r.from.size()));
        rewrites += "RewriteRule ^" + Literal(below) + (r.directory ? "(/.*)?$ " : "$ ") +
                    RewriteTarget(EncodedPath(r.to)) + (r.directory ? "$1" : "") +
                    " \"[R=301,L,NE,B= ?#%,BNP]\"\n";
    }
    if (!rewrites.empty()) rewrites = "RewriteEngine On\n" + rewrites;
    return redirects + rewrites;
}

std::string NginxLines(const std::vector<RedirectRule>& rules) {
    std::string out;
    for (const RedirectRule& r : rules) {
        const std::string to = EncodedPath(r.to);
        out += "location = " + Quoted(r.from) + " { return 301 " + Quoted(to) + "; }\n";
        if (r.directory)
            out += "location ^~ " + Quoted(r.from + "/") + " { rewrite " +
                   Quoted("^" + Literal(r.from) + "/(.*)$") + " " + Quoted(to + "/$1") +
                   " permanent; }\n";
    }
    return out;
}

std::string NetlifyLines(const std::vector<RedirectRule>& rules) {
    std::string out;
    for (const RedirectRule& r : rules) {
        const std::string from = EncodedPath(r.from), to = EncodedPath(r.to);
        out += from + " " + to + " 301\n";
        if (r.directory) out += from + "/* " + to + "/:splat 301\n";
    }
    return out;
}

}  // namespace

std::string RulesFileName(int format) {
    switch (format) {
        case REDIRECTS_APACHE:
            return ".htaccess";
        case REDIRECTS_NGINX:
            return "tessary-redirects.conf";
        case REDIRECTS_NETLIFY:
            return "_redirects";
        default:
            return {};
    }
}

std::string RulesBlock(int format, const std::vector<RedirectRule>& rules,
                       const std::string& prefix, const std::string& stamp) {
    std::string lines;
    if (format == REDIRECTS_APACHE) lines = ApacheLines(rules, prefix);
    if (format == REDIRECTS_NGINX) lines = NginxLines(rules);
    if (format == REDIRECTS_NETLIFY) lines = NetlifyLines(rules);
    if (lines.empty()) return {};
    return "# BEGIN Tessary redirects " + stamp + "\n" + lines + "# END Tessary redirects " +
           stamp + "\n";
}

std::string EncodedPath(const std::string& path) {
    std::string out;
    for (char ch : path) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || ch == '-' || ch == '.' || ch == '_' ||
                           ch == '~' || ch == '/';
        out += plain ? std::string(1, ch) : Hex(c);
    }
    return out;
}

std::string StubPage(const std::string& newName) {
    // The escaped name holds no quote, "<" or "&"; "./" keeps a name with a ":" from reading
    // as a scheme.
    const std::string url = "./" + EncodedPath(newName);
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Moved</title>\n"
           "<meta http-equiv=\"refresh\" content=\"0; url=" +
           url + "\">\n<link rel=\"canonical\" href=\"" + url +
           "\">\n</head><body>\n<p>This page has moved to <a href=\"" + url + "\">" +
           HtmlEscape(newName) + "</a>.</p>\n</body></html>\n";
}

}  // namespace ts
