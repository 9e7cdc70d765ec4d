// The walks over the HTML files reachable from the home page, and the per-file passes that
// report unresolved local links and external URLs.
#pragma once

#include <functional>
#include <string>

namespace ts {

class CHtmlNode;
class CRunContext;

using HtmlPass = std::function<int(CHtmlNode& node)>;
using HtmlPassWith = std::function<int(CHtmlNode& node, int* arg)>;

// Walks the hierarchy from home in pre-order; the number of files for which pass returned
// non-zero, or -1 when the user cancelled. Marks every file it reaches as used.
int WalkHierarchy(CHtmlNode& home, const HtmlPass& pass, const std::string& caption);
// The same walk with an extra argument handed to the pass, without marking used files.
int WalkHierarchyWith(CHtmlNode& home, const HtmlPassWith& pass, int* arg,
                      const std::string& caption);
// Forgets the external URLs already listed.
void ClearExternalSeen(CRunContext& ctx);

}  // namespace ts
