// Ctrl+C, a terminal that closes (SIGHUP) and a system that shuts down (SIGTERM) end a run the
// way its Cancel does: at the next step, with the report so far, no half-done file and no
// temporary file left. A second such signal ends the process at once.
#pragma once

#include <atomic>

namespace ts {

// Makes SIGINT, SIGTERM and SIGHUP set the stop flag.
void InstallStopSignals();

// Set by those signals; a front end's progress reads it as a cancel. Tests clear it.
std::atomic<bool>& StopSignalled();

}  // namespace ts
