// The renaming pass: entries get their new names on disk, top down, with every path kept
// current, read-only entries handled as the user decides, and each rename reported and logged.
#pragma once

namespace ts {

class CFileNode;
class CTreeWriter;

// The standing answer to the read-only question; the profile keeps it as this number.
enum ReadOnlyChoice : int { RO_ASK = 0, RO_SKIP = 1, RO_CONVERT = 2 };

// Renames the entry to its m_strNewName and brings its path up to date; with bLog the rename
// goes into the directory's "RENAME.LOG".
bool RenameEntry(CTreeWriter& writer, CFileNode& node, bool bLog, ReadOnlyChoice& readOnly);
// A read-only entry is made writable or skipped as readOnly says, or as the user answers (an
// answer "to all" becomes the standing one); true when the entry may change.
bool CheckReadOnly(CTreeWriter& writer, CFileNode& node, ReadOnlyChoice& readOnly);
// The status-report line of an entry's new name; false when it has none.
bool ReportNewName(CFileNode& node);
// Turns a renamed entry's new name into the name it must get back on undo.
bool PrepareUndo(CFileNode& node);

}  // namespace ts
