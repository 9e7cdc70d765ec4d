// The final report: the title and summary chosen from the run's outcome, the header with the
// date, the counts and the settings, then the error report and the status report copied
// unchanged. It is shown in the view, or handed to the external editor when it is large: the
// user's own, else the desktop's default one; when none can be started, the view shows it after
// all.
#pragma once

#include <cstdint>
#include <string>

#include "driver/RunPasses.h"

namespace ts {

class CTessaryDoc;

struct FinalReportInput {
    std::string statusPath;
    std::string errorPath;
    int nEntries = 0;
    int nDirs = 0;
    uint32_t runStatus = 0;
    RunPasses passes;
};

// 1 shown, 0 written but not shown (the editor could not start, or the report could not be
// read back: the user was told where it is), -1 when it cannot be written.
int BuildFinalReport(CTessaryDoc& doc, const FinalReportInput& in);

}  // namespace ts
