// Undoes a run from its journal (site/RunJournal.h), after the program that made the run has
// ended or crashed: every recorded change in the reverse order, each only when the entry is
// still what the run left (the same object, link text, mode or content). What changed since is
// left as it is and said so; everything else is still undone. A change that was recorded but
// never made (the run stopped first) needs nothing; content a crash may have cut short is given
// back whatever it holds.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "site/RunJournal.h"

namespace ts {

struct UndoOutcome {
    // NOT_MADE: the entry is as it was before the change, which the run never made.
    enum Result { UNDONE, NOT_MADE, CHANGED, FAILED };
    JournalRecord record;
    Result result = FAILED;
    // The entry's path as the run left it.
    std::string path;
};

// Reads the journal in folder and undoes its records; false with errno set when the journal
// cannot be read or its tree is no longer where it was (ESTALE).
bool UndoFromJournal(CFileSystem& fs, const std::string& folder,
                     std::vector<UndoOutcome>& outcomes);

}  // namespace ts
