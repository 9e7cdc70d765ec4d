// Classifies a link as local, external or base, and resolves a local one to its node.
#pragma once

#include <string>

#include "html/HtmlNode.h"

namespace ts {

// What relative links of one file are resolved against, from its start or its "base" tags.
struct CLinkBase {
    // The top directory's path as scanned; scheme and host once the base is a full URL.
    std::string strSiteRoot;
    // A "base" tag gave a full URL: every later link of the file is external.
    bool bFullUrl = false;
    // That full URL as the tag gave it, for making later links absolute.
    std::string strBaseUrl;
    // The directory base in force: an index into the file's m_vBases.
    int nBase = 0;
};

// Sets the record's kind, decoded URL, target and the rewrite flags of the record and of file.
// Paths resolve as a browser resolves them: "." and ".." anywhere, a ".." above the top
// directory leaves the site (from the root it stays at the root), a directory is a target.
// A link that begins with one of ctx.links.siteUrls is local. Any other scheme than "file:"
// makes a link external, except the schemes that name no resource (javascript:, vbscript:,
// data:, about:, blob:), which are neither checked nor listed. A local link to be rewritten
// keeps its replaceable text as written in m_strWritten until a rewrite replaces it.
// False when nothing is left to look up: a local link that was only a query ("?page=2") refers
// to the page itself, like one that is only a fragment, and yields no record; so does a link
// whose scheme names no resource.
bool ResolveLink(CHtmlNode& file, CHtmlNode::CTag& tag, const CLinkBase& base);

}  // namespace ts
