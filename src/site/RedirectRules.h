// The permanent redirects a renaming run calls for: one from the old URL path of every
// renamed file to its new one, and one for each renamed directory that carries everything
// below it along, so that links from outside the site (search engines, bookmarks, other
// sites) still arrive after the rename.
#pragma once

#include <string>
#include <vector>

namespace ts {

class CDirXpNode;
class CFileNode;

struct RedirectRule {
    // URL paths as a server sees them once it decoded the request: "/docs/My Page.html".
    std::string from;
    std::string to;
    bool directory = false;  // a prefix: every path below it moves with it
    const CFileNode* node = nullptr;
};

// The rules for the renames done below top, the most specific first (files, then directories
// from the deepest), since servers take the first rule that matches. prefix is the URL path
// the site is published under ("" or "/docs"). Renames that change only the case of a path
// get a rule only for a case-sensitive server; on any other the old path already arrives.
std::vector<RedirectRule> RedirectRulesOf(const CDirXpNode& top, const std::string& prefix,
                                          bool caseSensitiveServer);

// The URL path under which the site is published, from its first published address
// ("https://example.org/docs/" gives "/docs"); "" when none is given.
std::string SitePrefixOf(const std::vector<std::string>& siteUrls);

}  // namespace ts
