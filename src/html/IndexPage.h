// The page a server shows for a link to a directory, and the entry a link leads a walk to.
#pragma once

#include <unordered_map>

#include "base/LinkOptions.h"
#include "html/HtmlNode.h"

namespace ts {

class CDirNode;

// The first of the index names found in dir (names compared without case, as every look-up),
// or null. A name as scanned counts first, so a renamed index page is still found.
CFileNode* IndexPageOf(const CDirNode& dir, const CLinkOptions& links);

// The entry a local link leads to: its target, or for a link to a directory that
// directory's index page (null when it has none). A "base" tag leads nowhere.
CFileNode* FollowedEntry(const CHtmlNode::CTag& tag, const CLinkOptions& links);

// FollowedEntry for the links of a walk: each directory's entries are looked through once, not
// once per link to it (a site links to its sections from every page). Valid while no entry is
// renamed, which no walk does.
class CFollowedEntries {
public:
    explicit CFollowedEntries(const CLinkOptions& links) : m_links(links) {}
    CFileNode* Of(const CHtmlNode::CTag& tag);

private:
    const CLinkOptions& m_links;
    std::unordered_map<const CFileNode*, CFileNode*> m_indexPages;
};

}  // namespace ts
