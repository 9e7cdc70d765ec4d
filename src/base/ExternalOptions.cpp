#include "base/ExternalOptions.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "platform/Text.h"

namespace ts {

namespace {

bool IsHostPart(const std::string& s) {
    static const std::regex host(R"(^([A-Za-z0-9.\-]+|\[[0-9A-Fa-f:.]+\])(:[0-9]+)?$)");
    return std::regex_match(s, host);
}

const AcceptRule* RuleFor(const std::vector<AcceptRule>& rules, const std::string& hostKey) {
    const std::string name = hostKey.substr(0, hostKey.rfind(':'));
    const AcceptRule* general = nullptr;
    for (const AcceptRule& rule : rules) {
        const std::string h = ToLower(rule.host);
        if (h.empty())
            general = &rule;
        else if (h == hostKey || h == name)
            return &rule;
    }
    return general;
}

}  // namespace

ExternalOptions::ExternalOptions() {
    http.userAgent = DefaultUserAgent();
}

bool ExternalOptions::Accepts(const std::string& hostKey, int code) const {
    // A success is never a failure, whatever codes were added.
    if (code >= 200 && code <= 299) return true;
    const AcceptRule* rule = RuleFor(accept, hostKey);
    if (!rule) return false;
    return std::any_of(rule->ranges.begin(), rule->ranges.end(),
                       [code](const auto& r) { return code >= r.first && code <= r.second; });
}

std::string DefaultUserAgent() {
#ifdef TESSARY_VERSION
    return std::string("Tessary/") + TESSARY_VERSION + " (external link check)";
#else
    return "Tessary (external link check)";
#endif
}

void SplitHostForm(const std::string& text, std::string& host, std::string& rest) {
    const size_t eq = text.find('=');
    if (eq != std::string::npos && IsHostPart(text.substr(0, eq))) {
        host = text.substr(0, eq);
        rest = text.substr(eq + 1);
    } else {
        host.clear();
        rest = text;
    }
}

bool ParseCodes(const std::string& text, std::vector<std::pair<int, int>>& ranges) {
    static const std::regex item(R"(^\s*([0-9]{3})\s*(-\s*([0-9]{3})\s*)?$)");
    ranges.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = std::min(text.find(',', start), text.size());
        std::smatch m;
        const std::string part = text.substr(start, end - start);
        if (!std::regex_match(part, m, item)) return false;
        const int low = std::stoi(m[1]);
        const int high = m[3].matched ? std::stoi(m[3]) : low;
        if (high < low) return false;
        ranges.emplace_back(low, high);
        start = end + 1;
    }
    return !ranges.empty();
}

std::string AddHeader(ExternalOptions& options, const std::string& text) {
    HttpHeader h;
    std::string line;
    SplitHostForm(text, h.host, line);
    const size_t colon = line.find(':');
    static const std::regex name(R"(^[!#$%&'*+.^_`|~0-9A-Za-z\-]+$)");
    if (colon == std::string::npos || !std::regex_match(line.substr(0, colon), name))
        return "not NAME:VALUE: " + text;
    if (line.find_first_of("\r\n") != std::string::npos) return "a header is one line: " + text;
    h.line = line;
    options.http.headers.push_back(std::move(h));
    return {};
}

std::string AddAccept(ExternalOptions& options, const std::string& text) {
    AcceptRule rule;
    std::string codes;
    SplitHostForm(text, rule.host, codes);
    if (!ParseCodes(codes, rule.ranges))
        return "not a list of status codes like 200-299,403: " + text;
    // A later rule for the same host replaces the earlier one.
    std::erase_if(options.accept, [&rule](const AcceptRule& r) { return r.host == rule.host; });
    options.accept.push_back(std::move(rule));
    return {};
}

std::string AddExcluded(ExternalOptions& options, const std::string& pattern) {
    try {
        std::regex(pattern, std::regex::ECMAScript);
    } catch (const std::regex_error& e) {
        return "not a regular expression: " + pattern + " (" + e.what() + ")";
    }
    options.excluded.push_back(pattern);
    return {};
}

}  // namespace ts
