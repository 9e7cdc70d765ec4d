// How the site's external URLs are checked: switched on per run or in the profile, and told
// by the command line how to ask (headers, User-Agent, limits) and what counts as an answer
// (accepted codes, per host too), which URLs to leave alone and whether to use the cache.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/HttpCheck.h"

namespace ts {

// Status codes taken as "the link works", for every host ("") or for one.
struct AcceptRule {
    std::string host;
    std::vector<std::pair<int, int>> ranges;  // inclusive
};

struct ExternalOptions {
    HttpCheckOptions http;
    std::vector<AcceptRule> accept;
    // Patterns (ECMAScript regular expressions, found anywhere in the URL) of URLs never
    // asked for; each was compiled once when it was added.
    std::vector<std::string> excluded;
    // Answers are reused for this long; 0 or useCache false asks again every run.
    int cacheHours = 24;
    bool useCache = true;

    ExternalOptions();
    // Whether code counts as a working link of the host (HostKeyOf form): 200-299 always,
    // and the codes of the host's rule, else those of the rule for every host.
    bool Accepts(const std::string& hostKey, int code) const;
};

// "Tessary/1.10 (link check; +https://...)" names the program and its version.
std::string DefaultUserAgent();

// Splits "HOST=REST" where REST is what the option takes; host is "" when text has no
// host part. A header name or a list of codes cannot hold "=" before a ":" or a digit, so
// only a text that starts with a host name and "=" has one.
void SplitHostForm(const std::string& text, std::string& host, std::string& rest);

// "200-299,403" into ranges; false when the text is not such a list.
bool ParseCodes(const std::string& text, std::vector<std::pair<int, int>>& ranges);

// An option's value taken into options; "" when it is right, else what is wrong with it.
std::string AddHeader(ExternalOptions& options, const std::string& text);
std::string AddAccept(ExternalOptions& options, const std::string& text);
std::string AddExcluded(ExternalOptions& options, const std::string& pattern);

}  // namespace ts
