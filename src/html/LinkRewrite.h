// Rewriting the links of a page to files whose names changed (or that must be escaped), and
// the report of the changes a rename would need.
#pragma once

#include <string>

#include "site/Rename.h"

namespace ts {

class CHtmlNode;
class CTreeWriter;

// Rewrites the page's links marked for rewriting, through the writer; a read-only page as
// readOnly says. When bUndoing, only the links the run changed go back,
// each to its very bytes once its names are back. 1 when the page was rewritten.
int RewriteLinks(CTreeWriter& writer, CHtmlNode& page, ReadOnlyChoice& readOnly, bool bUndoing);

// Reports the changes the page's links would need after the suggested renames; 1 when there
// were any.
int ReportLinkChanges(CHtmlNode& page);
// Those lines under the page's heading; "" when there are none.
std::string LinkChangeLines(const CHtmlNode& page);

}  // namespace ts
