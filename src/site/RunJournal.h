// The record of what one run changed in a tree, kept outside the tree, so that the run can be
// undone after the program has ended or crashed. Each change is recorded before it is made;
// the original bytes of a file whose content changes are added to the journal's log of
// originals, so that undo gives them back byte for byte whatever happened to the file in
// between. Records and originals reach the disk together at each Commit: a caller makes a
// batch of changes only after the commit that holds their records.
//
// A journal is a folder: "journal" holds one line per record, fields separated by tabs, with
// "%", tab, CR and LF written as "%25", "%09", "%0D" and "%0A"; its first line names the
// format and the tree. Each record line begins with the CRC-32C and the length of the rest of
// the line, so that a damaged or torn record is known as such and costs only itself.
// "originals" holds the kept bytes one file after another.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/FileSystem.h"

namespace ts {

struct JournalRecord {
    // WRITTEN: the content changes of a batch, recorded since the last such mark, are on the
    // disk; "cut" in after says that some of them may not be whole. A CONTENT record with no
    // mark after it may have been cut short by a crash.
    // CREATE: a file the run made (a server's redirect rules, a page left at an old path).
    // UNDOING: undo is about to write back the original of record number offset; a file so
    // marked goes back whatever it holds, since the write may have been cut short.
    // UNDONE: an undo ended leaving changes the user made since ("partly").
    // UNDO_OF: the journal holds what an undo of the run in folder after displaced (content
    // that was neither the run's nor the original): undoing it gives that content back.
    // DAMAGED: a line that is no valid record (never written; made by Read).
    enum Kind {
        RENAME,
        CONTENT,
        LINK,
        MODE,
        WRITTEN,
        END,
        CREATE,
        UNDOING,
        UNDONE,
        UNDO_OF,
        DAMAGED
    };
    Kind kind = END;
    // The directory that holds the entry, relative to the top ("" for the top itself), as it
    // was named when the change was made, and its identity.
    std::string dir;
    FileId dirId;
    // The entry's name and identity before the change.
    std::string name;
    FileId id;
    // CONTENT: the identity of the file that holds the new content (the same file, unless it
    // was too large to change in place).
    FileId newId;
    // RENAME: the new name. LINK: the new text. CONTENT and CREATE: what changed ("line
    // ends", "links", "redirects"). END: "complete", "cancelled" or "failed".
    std::string after;
    // LINK: the old text. CONTENT and CREATE: the lines that report the change's undo.
    std::string before;
    // CONTENT: where the original bytes lie in the log of originals. CONTENT and CREATE: the
    // length and ContentHash of the new content (undo leaves a file that no longer has it).
    uint64_t offset = 0, length = 0;
    uint64_t newLength = 0, newHash = 0;
    // MODE: the permission bits before and after.
    unsigned oldMode = 0, newMode = 0;
    // CONTENT and LINK: the entry's modification time before the change, in nanoseconds since
    // the epoch; 0 when not known.
    int64_t oldTime = 0;
    // The record's number in its journal (its line, the first record being 1).
    uint64_t number = 0;
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
    // Opens the journal in folder for adding records (an undo's marks); null with errno set.
    static std::unique_ptr<CRunJournal> Append(CFileSystem& fs, const std::string& folder);
    // Reads the records of the journal in folder; false with errno set when it cannot be read,
    // is not a journal, or is not the current user's alone (EPERM: another user owns the
    // folder or a file of it, or others may write them). A last line cut short by a crash is
    // left out; any other line that is no valid record (damaged, or naming an entry by more
    // than one path component) is read as a DAMAGED record, so that only it is lost.
    static bool Read(CFileSystem& fs, const std::string& folder, std::string& top, FileId& topId,
                     std::vector<JournalRecord>& records);

    // Adds a record; it is on the disk after the next Commit.
    bool Record(const JournalRecord& r);
    // Adds the whole content of in (the file about to change) to the log of originals; offset
    // and length tell where. On the disk after the next Commit.
    bool KeepOriginal(CFile& in, uint64_t& offset, uint64_t& length);
    // Forces the originals and the records added so far to the disk.
    bool Commit();
    // Writes the original kept at offset to out, from where out stands, in blocks.
    bool CopyOriginal(uint64_t offset, uint64_t length, CFile& out);

    const std::string& Folder() const { return m_folder; }

private:
    CRunJournal(std::string folder, std::unique_ptr<CDir> dir, std::unique_ptr<CFile> records,
                std::unique_ptr<CFile> originals);

    std::string m_folder;
    std::unique_ptr<CDir> m_dir;
    std::unique_ptr<CFile> m_records;
    std::unique_ptr<CFile> m_originals;
    uint64_t m_nOriginals = 0;  // bytes in the log of originals
};

// Writes the length bytes kept at offset in the log of originals to out, in blocks.
bool CopyKept(CFile& originals, uint64_t offset, uint64_t length, CFile& out);
// Whether f, from its start, holds exactly the length bytes kept at offset.
bool HoldsKept(CFile& f, CFile& originals, uint64_t offset, uint64_t length);
// Whether what f holds from where it stands to its end is exactly those bytes.
bool RestIsKept(CFile& f, CFile& originals, uint64_t offset, uint64_t length);
// Length and ContentHash of the bytes kept at offset.
bool HashOfKept(CFile& originals, uint64_t offset, uint64_t length, uint64_t& hash);

// Where the journals of runs are kept: $XDG_STATE_HOME/tessary/runs, else
// ~/.local/state/tessary/runs.
std::string JournalsDirectory();
// The folder that holds the journals of the tree whose identity is topId.
std::string TreeJournals(const std::string& runsDir, FileId topId);

}  // namespace ts
