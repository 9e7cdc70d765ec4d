#include "html/Hierarchy.h"

#include "app/RunContext.h"
#include "html/HtmlNode.h"

namespace ts {

int WalkHierarchy(CHtmlNode&, const HtmlPass&, const std::string&) { return 0; }
int WalkHierarchyWith(CHtmlNode&, const HtmlPassWith&, int*, const std::string&) { return 0; }
void ClearExternalSeen(CRunContext& ctx) { ctx.externalSeen.reset(); }
void CHtmlNode::ClearVisited() {}
int CHtmlNode::ReportUnresolvedLinks() { return 0; }
int CHtmlNode::ReportExternalLinks() { return 0; }
int CHtmlNode::ParseLinks() { return 0; }
int CHtmlNode::RewriteLinks(int*) { return 0; }
int CHtmlNode::ReportLinkChanges() { return 0; }

}  // namespace ts
