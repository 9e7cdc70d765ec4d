// The per-file passes that report a page's unresolved local links and its external URLs.
#pragma once

#include <map>
#include <string>
#include <unordered_set>

#include "html/HtmlNode.h"

namespace ts {

class CExternalCheck;
class CReportStream;
struct Finding;
enum class FindingKind : unsigned char;

// The URL of a link as reports show it: an external one is kept as written and shown decoded.
std::string ShownUrl(const CHtmlNode::CTag& tag);

// A finding about one link of a page: where it stands and what it says.
Finding LinkFinding(FindingKind kind, const CHtmlNode& page, const CHtmlNode::CTag& tag);

// Lists the page's local links that found no file in the status report; 1 when it listed any.
int ReportUnresolvedLinks(CHtmlNode& page);

// The unresolved links of the pages walked, counted by the path they name, so that 500 links
// to 13 missing files read as 13 things to fix.
class CMissingTargets {
public:
    // Counts the links of page that UnresolvedLinkLines lists.
    void Add(const CHtmlNode& page);
    // The block "MISSING TARGETS:", each path once with its count, most links first; nothing
    // when no link was unresolved.
    void Write(CReportStream& out) const;

private:
    std::map<std::string, int> m_counts;
};
// Those lines under the page's heading; "" when it has none.
std::string UnresolvedLinkLines(const CHtmlNode& page);

// The external-URL pass: lists each page's external URLs in the status report and on the
// external-URL page, where a URL is a link only the first time it is listed.
class CExternalLinkReport {
public:
    // check, when not null, marks the dead and moved links on the page.
    CExternalLinkReport(CReportStream& page, const CExternalCheck* check)
        : m_page(page), m_check(check) {}

    // One page's URLs; 1 when it has any.
    int Report(CHtmlNode& page);

private:
    CReportStream& m_page;
    const CExternalCheck* m_check;
    // External URLs already written as links to the page.
    std::unordered_set<std::string> m_seen;
};

}  // namespace ts
