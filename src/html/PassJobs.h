// The link passes' work on one page as jobs that other threads can do ahead of the walk
// (html/PagesAhead.h).
#pragma once

#include <string>

#include "html/PagesAhead.h"

namespace ts {

class CFindings;

// Reading a page's links in: ParseLinks.
class CParseJob : public CPageJob {
public:
    CPageDone Run(CHtmlNode& page, const CPageOutput& out) override;
    void Taken(CHtmlNode& page, const CPageDone& done) override;
    bool ReadsLinks() const override { return true; }
    // Pages taken so far that could not be opened or read whole.
    int Unread() const { return m_nUnread; }

private:
    int m_nUnread = 0;
};

// A pass whose work on a page is the page's block of status-report lines, with the findings
// they tell of when findings is not null; 1 for a page that has one.
class CLinesJob : public CPageJob {
public:
    using Lines = std::string (*)(const CHtmlNode& page, CFindings* findings);
    explicit CLinesJob(Lines lines) : m_lines(lines) {}
    CPageDone Run(CHtmlNode& page, const CPageOutput& out) override;

private:
    Lines m_lines;
};

}  // namespace ts
