// The record of what one run changed in a tree, kept outside the tree, so that the run can be
// undone after the program has ended or crashed. Each change is recorded before it is made;
// the original bytes of a file whose content changes are kept in the journal's folder (by a
// hard link where the file system allows it, else by a copy), so that undo gives them back
// byte for byte whatever happened to the file in between.
//
// A journal is a folder: "journal" holds one line per record, fields separated by tabs, with
// "%", tab, CR and LF written as "%25", "%09", "%0D" and "%0A"; "original-<n>" are the kept
// originals. The first line names the format and the tree.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {

struct JournalRecord {
    enum Kind { RENAME, CONTENT, LINK, MODE, END };
    Kind kind = END;
    // The directory that holds the entry, relative to the top ("" for the top itself), as it
    // was named when the change was made, and its identity.
    std::string dir;
    FileId dirId;
    // The entry's name and identity before the change.
    std::string name;
    FileId id;
    // RENAME: the new name. LINK: the new text. END: "complete", "cancelled" or "failed".
    std::string after;
    // LINK: the old text. CONTENT: the kept original's name in the journal's folder.
    std::string before;
    // MODE: the permission bits before and after.
    unsigned oldMode = 0, newMode = 0;
};

class CRunJournal {
public:
    ~CRunJournal();
    CRunJournal(const CRunJournal&) = delete;
    CRunJournal& operator=(const CRunJournal&) = delete;

    // Starts the journal of a new run of the tree at top (whose identity is topId) in a new
    // folder under runsDir; null with errno set on failure.
    static std::unique_ptr<CRunJournal> Create(CFileSystem& fs, const std::string& runsDir,
                                               const std::string& top, FileId topId);
    // Reads the records of the journal in folder; false with errno set when it cannot be read
    // or is not a journal. A last line cut short by a crash is left out.
    static bool Read(CFileSystem& fs, const std::string& folder, std::string& top, FileId& topId,
                     std::vector<JournalRecord>& records);

    // Records a change before it is made: true once the record is on the disk.
    bool Record(const JournalRecord& r);
    // Keeps the bytes of the file name in dir, which must be the object id, before they
    // change; saved receives the name under which the journal keeps them (for
    // JournalRecord::before). True once they are on the disk.
    bool KeepOriginal(CDir& dir, const std::string& name, FileId id, std::string& saved);

    const std::string& Folder() const { return m_folder; }

private:
    CRunJournal(CFileSystem& fs, std::string folder, std::unique_ptr<CDir> dir,
                std::unique_ptr<CFile> file);

    CFileSystem& m_fs;
    std::string m_folder;
    std::unique_ptr<CDir> m_dir;
    std::unique_ptr<CFile> m_file;
    int m_nKept = 0;
};

// Where the journals of runs are kept: $XDG_STATE_HOME/tessary/runs, else
// ~/.local/state/tessary/runs.
std::string JournalsDirectory();

}  // namespace ts
