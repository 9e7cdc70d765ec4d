#include "cli/ExternalArgs.h"

#include <CLI/CLI.hpp>

#include "base/RunSettings.h"

namespace ts {

void AddExternalOptions(CLI::App& app, ExternalArgs& a) {
    app.add_flag("--check-external", a.check,
                 "Ask every external http and https URL of the site (each once) whether it "
                 "answers; dead ones are listed under EXTERNAL URLS THAT FAILED, permanent "
                 "redirects under EXTERNAL URLS THAT MOVED, and answers that refuse robots "
                 "(401, 403, 429) under EXTERNAL URLS THAT COULD NOT BE CHECKED");
    app.add_flag("--rewrite-moved", a.rewriteMoved,
                 "After the check, change the links to URLs that moved permanently to their new "
                 "addresses (the list is shown first; on a terminal answer y, without one --yes "
                 "is needed); undone like a rename");
    app.add_option("--header", a.headers,
                   "A request header NAME:VALUE for the check, or HOST=NAME:VALUE for one host "
                   "only. May be given again")
        ->allow_extra_args(false);
    app.add_option("--user-agent", a.userAgent,
                   "The User-Agent of the check's requests (default Tessary/VERSION)");
    app.add_option("--accept", a.accept,
                   "Status codes that count as a working link besides 200-299, like 403 or "
                   "401,403,999, or HOST=CODES for one host (which then replaces the codes for "
                   "every host). May be given again")
        ->allow_extra_args(false);
    app.add_option("--exclude-external", a.excluded,
                   "Do not ask for the URLs a regular expression matches. May be given again")
        ->allow_extra_args(false);
    app.add_flag("--no-cache", a.noCache,
                 "Ask for every URL again instead of using the answers of earlier runs "
                 "(kept in $XDG_CACHE_HOME/tessary for the profile's ExternalCacheHours, 24)");
    app.add_option("--timeout", a.timeout, "Seconds a request may take (default 20)")
        ->check(CLI::Range(1, 3600));
    app.add_option("--max-connections", a.maxConnections, "Requests in flight at once (default 32)")
        ->check(CLI::Range(1, 1024));
    app.add_option("--max-per-host", a.maxPerHost,
                   "Requests in flight at once to one host and port (default 4)")
        ->check(CLI::Range(1, 1024));
}

std::string ApplyExternal(const ExternalArgs& a, RunSettings& s) {
    if (a.check) s.CheckExternal = true;
    if (a.check && s.FilesOnly)
        return "--check-external reads the pages' links: leave out --no-links";
    if (a.rewriteMoved) {
        if (!s.CheckExternal) return "--rewrite-moved needs --check-external";
        s.RewriteMoved = true;
    }
    ExternalOptions& o = s.External;
    for (const std::string& h : a.headers)
        if (std::string wrong = AddHeader(o, h); !wrong.empty()) return "--header: " + wrong;
    for (const std::string& c : a.accept)
        if (std::string wrong = AddAccept(o, c); !wrong.empty()) return "--accept: " + wrong;
    for (const std::string& x : a.excluded)
        if (std::string wrong = AddExcluded(o, x); !wrong.empty())
            return "--exclude-external: " + wrong;
    if (!a.userAgent.empty()) o.http.userAgent = a.userAgent;
    if (a.noCache) o.useCache = false;
    if (a.timeout > 0) o.http.timeoutSeconds = a.timeout;
    if (a.maxConnections > 0) o.http.maxConnections = a.maxConnections;
    if (a.maxPerHost > 0) o.http.maxPerHost = a.maxPerHost;
    return {};
}

}  // namespace ts
