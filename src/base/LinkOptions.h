// How the link passes read a site beyond what its files say: where it is published, which
// page a directory link shows, and which extensions a server tries for a name without one.
#pragma once

#include <string>
#include <vector>

namespace ts {

struct CLinkOptions {
    // Addresses the site is published at ("https://example.org/docs/"): a link that begins
    // with one of them is a local link, kept absolute when rewritten.
    std::vector<std::string> siteUrls;
    // The pages a server shows for a directory link, tried in this order.
    std::vector<std::string> indexFiles{"index.html", "index.htm", "default.htm"};
    // Extensions tried, in order, for a link to a name that has none ("/about" may name
    // "about.html"), as static hosts do; empty: no such fallback.
    std::vector<std::string> fallbackExtensions;
    // Links keep their #fragment, and the ids and names of pages are read, so that a
    // fragment that names nothing on its page is reported.
    bool checkFragments = false;
};

}  // namespace ts
