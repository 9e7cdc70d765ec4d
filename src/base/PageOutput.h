// Where the work on one page puts what it finds: its status-report lines, its error-report
// lines and their records for the machine-readable reports. The walk's thread gives the run's
// own; a thread working ahead of the walk gives streams and records held for the page, which
// reach the run only when the walk takes the page (html/PagesAhead.h), so a page the walk never
// reaches adds nothing to any report.
#pragma once

#include <string>

namespace ts {

class CFindings;
class CReportStream;
class CRunContext;

struct CPageOutput {
    // The run's own reports and findings.
    static CPageOutput Of(CRunContext& ctx);

    // An error-report line for a path, recorded as a file problem too.
    void Problem(const std::string& path, const std::string& text) const;

    CReportStream& status;
    CReportStream& errors;
    CFindings* findings;  // null when the run keeps no records
};

}  // namespace ts
