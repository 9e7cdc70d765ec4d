// The renaming pass: entries get their new names on disk, top down, with every path kept
// current, read-only entries handled as the user decides, and each rename reported and logged.
#pragma once

namespace ts {

class CFileNode;
class CTreeWriter;

// Renames the entry to its m_strNewName and brings its path up to date; with bLog the rename
// goes into the directory's "RENAME.LOG". pAutoReadOnly holds the standing answer to the
// read-only question: 0 ask, 1 skip, 2 make writable (null: always ask).
bool RenameEntry(CTreeWriter& writer, CFileNode& node, bool bLog, int* pAutoReadOnly);
// A read-only entry is made writable or skipped as the user decides; true when it may change.
bool CheckReadOnly(CTreeWriter& writer, CFileNode& node, int* pAutoReadOnly);
// The status-report line of an entry's new name; false when it has none.
bool ReportNewName(CFileNode& node);
// Turns a renamed entry's new name into the name it must get back on undo.
bool PrepareUndo(CFileNode& node);

}  // namespace ts
