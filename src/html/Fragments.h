// Fragment checks: a local link "page.html#part" works only when the page has an element with
// the id "part" (or an "a" element named so), as a browser looks it up. Pages keep their
// anchors and fragment links while they are read (CLinkOptions::checkFragments); the check
// runs once every page of the walk has been read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ts {

class CFindings;
class CHtmlNode;

// Sorts a page's anchors and drops repeats, for OffersFragment.
void SortAnchors(std::vector<std::string>& anchors);

// Whether a page with these sorted anchors shows the fragment: an empty one and "top" (in any
// case) always do (the top of the page); otherwise an anchor equal to the fragment as written
// or with its %XY escapes decoded. A text fragment (":~:text=") is no anchor and always shows.
bool OffersFragment(const std::vector<std::string>& anchors, std::string_view fragment);

// The status-report lines of the page's links whose fragment names nothing on their page,
// under the page's heading, in the line form of unresolved links; "" when it has none. Links
// to pages that were not read whole, or to files that are not pages, are not judged. Each such
// link is added to findings too, when it is not null.
std::string UnresolvedFragmentLines(const CHtmlNode& page, CFindings* findings);

}  // namespace ts
