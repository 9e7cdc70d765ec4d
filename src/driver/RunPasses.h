// The passes of a run, as bits in their order: which the settings call for, which began and
// which ran to their end. A run that ended early says what it did not get to, so that its
// report never passes for a check of the whole site.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/RunSettings.h"

namespace ts {

enum RunPassBits : uint32_t {
    RP_SCAN = 0x001,
    RP_NAMES = 0x002,
    RP_LINE_ENDS = 0x004,
    RP_SYNTAX = 0x008,
    RP_LINK_RENAMING = 0x010,
    RP_UNRESOLVED = 0x020,
    RP_FRAGMENTS = 0x040,
    RP_UNUSED = 0x080,
    RP_EXTERNAL_CHECK = 0x100,
    RP_MOVED_LINKS = 0x200,
    RP_EXTERNAL_REFS = 0x400,
};
inline constexpr int kRunPasses = 11;

struct RunPasses {
    uint32_t due = 0;
    uint32_t begun = 0;
    uint32_t done = 0;

    // The passes due that did not run to their end, and the one among them that began.
    uint32_t Unfinished() const { return due & ~done; }
    uint32_t CutShort() const { return due & begun & ~done; }
};

// The passes the settings call for.
uint32_t PassesDue(const RunSettings& settings);

// Each pass of bits, in the run's order.
std::vector<RunPassBits> PassesIn(uint32_t bits);
// The name a machine-readable report gives the pass ("unused-files").
const char* PassKey(RunPassBits pass);
// The text report's words for what a run did not finish: "unused files (cut short), external
// URL references"; "" when it finished all.
std::string UnfinishedText(const RunPasses& passes);

}  // namespace ts
