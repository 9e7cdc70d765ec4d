#include "html/PassJobs.h"

#include "base/PageOutput.h"
#include "base/ReportStream.h"
#include "html/TagScanner.h"

namespace ts {

CPageDone CParseJob::Run(CHtmlNode& page, const CPageOutput& out) {
    CPageDone done;
    done.result = ReadPageLinks(page, out, done.finish);
    return done;
}

void CParseJob::Taken(CHtmlNode& page, const CPageDone& done) {
    if (page.m_bUnreadable) ++m_nUnread;
    FinishPageLinks(page, done.finish);
}

CPageDone CLinesJob::Run(CHtmlNode& page, const CPageOutput& out) {
    const std::string text = m_lines(page, out.findings);
    out.status << text;
    return {text.empty() ? 0 : 1, false};
}

}  // namespace ts
