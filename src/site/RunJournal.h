// The record of what one run changed in a tree, kept outside the tree, so that the run can be
// undone after the program has ended or crashed. Each change is recorded before it is made;
// the original bytes of a file whose content changes are added to the journal's log of
// originals, so that undo gives them back byte for byte whatever happened to the file in
// between. Records and originals reach the disk together at each Commit: a caller makes a
// batch of changes only after the commit that holds their records.
//
// A journal is a folder: "journal" holds one line per record, fields separated by tabs, with
// "%", tab, CR and LF written as "%25", "%09", "%0D" and "%0A"; its first line names the
// format and the tree. "originals" holds the kept bytes one file after another.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {

struct JournalRecord {
    // WRITTEN: the content changes of a batch, recorded since the last such mark, are on the
    // disk; "cut" in after says that some of them may not be whole. A CONTENT record with no
    // mark after it may have been cut short by a crash.
    // CREATE: a file the run made (a server's redirect rules, a page left at an old path).
    enum Kind { RENAME, CONTENT, LINK, MODE, WRITTEN, END, CREATE };
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

    // Adds a record; it is on the disk after the next Commit.
    bool Record(const JournalRecord& r);
    // Adds the whole content of in (the file about to change) to the log of originals; offset
    // and length tell where. On the disk after the next Commit.
    bool KeepOriginal(CFile& in, uint64_t& offset, uint64_t& length);
    // Forces the originals and the records added so far to the disk.
    bool Commit();
    // The original bytes kept at offset.
    bool ReadOriginal(uint64_t offset, uint64_t length, std::string& bytes);

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

// The original bytes kept at offset in the log of originals, opened for reading.
bool ReadKept(CFile& originals, uint64_t offset, uint64_t length, std::string& bytes);

// A 64-bit FNV-1a hash, carried on from hash (start with kHashStart): tells content that
// changed since it was recorded.
inline constexpr uint64_t kHashStart = 14695981039346656037ull;
uint64_t ContentHash(const void* data, size_t n, uint64_t hash = kHashStart);
// Length and ContentHash of what f holds from where it stands to its end; last, when given,
// receives the last byte ('\n' for an empty file).
bool HashOfFile(CFile& f, uint64_t& length, uint64_t& hash, char* last = nullptr);

// Where the journals of runs are kept: $XDG_STATE_HOME/tessary/runs, else
// ~/.local/state/tessary/runs.
std::string JournalsDirectory();
// The folder that holds the journals of the tree whose identity is topId.
std::string TreeJournals(const std::string& runsDir, FileId topId);

}  // namespace ts
