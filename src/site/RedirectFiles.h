// The redirect rules in the forms servers read: an Apache .htaccess block, an nginx file of
// locations to include, a Netlify (and Cloudflare Pages) _redirects block, or small HTML pages
// at the old paths for a server that reads no rules at all.
#pragma once

#include <string>
#include <vector>

#include "site/RedirectRules.h"

namespace ts {

enum RedirectFormat : int {
    REDIRECTS_NONE = 0,
    REDIRECTS_APACHE = 1,
    REDIRECTS_NGINX = 2,
    REDIRECTS_NETLIFY = 3,
    REDIRECTS_STUBS = 4,
};

// The file of the top directory the rules are added to; "" for stubs and none.
std::string RulesFileName(int format);

// The lines this run adds to that file, between marker comments that name the run (stamp).
// The lines already there stay as they are. prefix is the URL path of the top directory, where
// the file lies ("" or "/docs").
std::string RulesBlock(int format, const std::vector<RedirectRule>& rules,
                       const std::string& prefix, const std::string& stamp);

// A URL path as a Location or a rule's target holds it: every byte but letters, digits,
// "-._~" and "/" escaped as "%XY".
std::string EncodedPath(const std::string& path);

// The page left at an old path: it sends a browser on to newName's page beside it at once,
// tells search engines where the page lives now, and shows a plain link for everything else.
std::string StubPage(const std::string& newName);

}  // namespace ts
