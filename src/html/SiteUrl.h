// The addresses a site is published at: a link that begins with one of them names a file of
// the site, not another server's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ts {

// Where the path below a site address begins in url ("https://host/docs/a.htm" or the
// protocol-relative "//host/docs/a.htm"), or npos when url begins with none of siteUrls.
// Scheme and host compare without case, the path as a prefix ending at a "/".
size_t SitePathStart(const std::vector<std::string>& siteUrls, std::string_view url);

}  // namespace ts
