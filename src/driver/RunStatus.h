// The outcome of the last run or undo, as bits: what it changed, how it ended, and what the
// link passes found. The final report's title and summary are chosen from them.
#pragma once

#include <cstdint>

namespace ts {

enum RunStatusBits : uint32_t {
    RS_RENAMING = 0x00000001,
    RS_LINE_ENDS = 0x00000002,
    RS_LINKS = 0x00000004,
    RS_UNDONE = 0x00004000,
    RS_COMPLETED = 0x00008000,
    RS_EXCEPTION = 0x00010000,
    RS_LOW_MEMORY = 0x00020000,
    // Some work of a pass failed (a rename, a rewrite, a page that could not be read): the run
    // cannot call the site clean.
    RS_WORK_FAILED = 0x08000000,
    // Names that break the target's rules were found and only suggested (not renamed).
    RS_NAMES_SUGGESTED = 0x04000000,
    RS_FRAGMENTS = 0x02000000,        // a link's fragment names nothing on its page
    RS_EXTERNAL_FAILED = 0x01000000,  // an external URL did not answer or answered an error
    RS_SYNTAX_ERRORS = 0x10000000,
    RS_UNRESOLVED = 0x20000000,
    RS_UNUSED = 0x40000000,
    RS_HTML_REACHED = 0x80000000,
    // Bits of changes made to the site; a run with none keeps nothing to undo.
    RS_MODIFIED_MASK = 0x7FFF,
    // Bits of changes that undo can take back.
    RS_UNDOABLE_MASK = 0x3FFF,
    RS_INTERRUPTED_MASK = 0x30000,
};

}  // namespace ts
