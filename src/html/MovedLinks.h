// Rewriting the links to external URLs that moved permanently, to the address they moved to:
// through the tree writer, so the change is journaled and undone like a rename's rewrite.
#pragma once

#include <functional>
#include <string>

#include "site/Rename.h"

namespace ts {

class CHtmlNode;
class CTreeWriter;

// The new address of a link's URL (as its record holds it); null when it did not move.
using NewAddressOf = std::function<const std::string*(const std::string& url)>;

// Rewrites the page's links whose URL moved. Only a URL written out whole in an attribute is
// rewritten, its fragment kept; one made from a base or held in CSS or a srcset list is left
// as written, with a report line. 1 when the page was rewritten.
int RewriteMovedLinks(CTreeWriter& writer, CHtmlNode& page, const NewAddressOf& moved,
                      ReadOnlyChoice& readOnly);

// Whether the page has a link whose URL moved.
bool HasMovedLinks(const CHtmlNode& page, const NewAddressOf& moved);

}  // namespace ts
