#include "html/SiteUrl.h"

#include "platform/Text.h"

namespace ts {
namespace {

// The scheme (without ":") of an address, or "" when it has none.
std::string_view SchemeOf(std::string_view url) {
    size_t colon = url.find(':');
    size_t slash = url.find('/');
    if (colon == std::string_view::npos || (slash != std::string_view::npos && slash < colon))
        return {};
    return url.substr(0, colon);
}

// The match of one address; npos when url does not begin with it.
size_t Match(std::string_view site, std::string_view url) {
    std::string_view siteScheme = SchemeOf(site);
    std::string_view rest = site.substr(siteScheme.empty() ? 0 : siteScheme.size() + 1);
    size_t at = 0;
    if (!url.starts_with("//")) {
        std::string_view scheme = SchemeOf(url);
        if (scheme.empty() || !EqualsNoCase(scheme, siteScheme)) return std::string_view::npos;
        at = scheme.size() + 1;
    }
    if (!rest.starts_with("//") || url.compare(at, 2, "//") != 0) return std::string_view::npos;
    size_t hostEnd = rest.find('/', 2);
    std::string_view host =
        rest.substr(2, hostEnd == std::string_view::npos ? rest.npos : hostEnd - 2);
    std::string_view path = hostEnd == std::string_view::npos ? "/" : rest.substr(hostEnd);
    at += 2;
    if (url.size() - at < host.size() || !EqualsNoCase(url.substr(at, host.size()), host))
        return std::string_view::npos;
    at += host.size();
    // The address's path without its last "/": "/docs/" matches "/docs" and "/docs/a".
    std::string_view dir = path.ends_with("/") ? path.substr(0, path.size() - 1) : path;
    if (url.compare(at, dir.size(), dir) != 0) return std::string_view::npos;
    at += dir.size();
    if (at == url.size()) return at;
    return url[at] == '/' ? at + 1 : std::string_view::npos;
}

}  // namespace

size_t SitePathStart(const std::vector<std::string>& siteUrls, std::string_view url) {
    for (const std::string& site : siteUrls)
        if (size_t at = Match(site, url); at != std::string_view::npos) return at;
    return std::string_view::npos;
}

}  // namespace ts
