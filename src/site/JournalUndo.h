// Undoes a run from its journal (site/RunJournal.h), after the program that made the run has
// ended or crashed: every recorded change in the reverse order, each only when the entry is
// still what the run left (the same object, link text, mode or content). What changed since is
// left as it is and said so, and the journal keeps its original; everything else is still
// undone. A change that was recorded but never made (the run stopped first) needs nothing;
// content a crash may have cut short is given back whatever it holds. Undo never destroys the
// only copy of anything: content that is neither the run's nor the original, which undo puts
// the original back over (a torn write, an edit made after a crash, or with force any edit),
// is first kept in a journal of its own, whose undo gives it back.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "site/RunJournal.h"

namespace ts {

struct UndoOutcome {
    // NOT_MADE: the entry is as it was before the change, which the run never made.
    // DAMAGED: the record could not be read; what it recorded is not undone.
    enum Result { UNDONE, NOT_MADE, CHANGED, FAILED, DAMAGED };
    JournalRecord record;
    Result result = FAILED;
    // The entry's path as the run left it.
    std::string path;
    // UNDONE over content that was neither the run's nor the original: that content is kept.
    bool displaced = false;
};

// Reads the journal in folder and undoes its records; false with errno set when the journal
// cannot be read or its tree is no longer where it was (ESTALE). With force, files changed
// since the run get their originals back too, their content kept first. The journal records
// each original it is about to write back, and that an undo left changes ("partly undone").
bool UndoFromJournal(CFileSystem& fs, const std::string& folder, std::vector<UndoOutcome>& outcomes,
                     bool force = false);

}  // namespace ts
