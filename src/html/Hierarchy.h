// The walks over the HTML files reachable from the home page.
#pragma once

#include <functional>
#include <string>

namespace ts {

class CHtmlNode;

using HtmlPass = std::function<int(CHtmlNode& node)>;
using HtmlPassWith = std::function<int(CHtmlNode& node, int* arg)>;

// Walks the hierarchy from home in pre-order; the number of files for which pass returned
// non-zero, or -1 when the user cancelled. Marks every file it reaches as used. A pass that
// walks again nests in the walk it runs in: it passes only the pages not passed yet.
int WalkHierarchy(CHtmlNode& home, const HtmlPass& pass, const std::string& caption);
// The same walk with an extra argument handed to the pass, without marking used files.
int WalkHierarchyWith(CHtmlNode& home, const HtmlPassWith& pass, int* arg,
                      const std::string& caption);
// Clears the visited mark of home and of every page reachable from it that has one.
void ClearVisited(CHtmlNode& home);

}  // namespace ts
