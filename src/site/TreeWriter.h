// The one way the engine changes the user's tree: renaming entries, making them writable,
// replacing a file's content, and the files the program itself puts into the tree. The passes
// decide what changes; only the writer touches the disk, and keeps the nodes in step with it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include <vector>

#include "platform/SafeRewrite.h"
#include "site/DirHandles.h"
#include "site/RunJournal.h"

namespace ts {

class CDirNode;
class CFileNode;
class CRunContext;

// Where a producer writes the new content of a file. Nothing exists on disk until Begin:
// a producer that finds nothing to change may never begin. With a memory, the content is
// gathered there, and goes to the rewrite's temporary file only once it grows past limit.
class CContentSink {
public:
    explicit CContentSink(CSafeRewrite& out, std::string* memory = nullptr, size_t limit = 0)
        : m_out(out), m_pMemory(memory), m_nLimit(limit) {}
    bool Begin();
    bool Begun() const { return m_bBegun; }
    bool Write(const void* data, size_t n);
    bool Write(const std::string& s) { return Write(s.data(), s.size()); }
    // Offset of the next byte in the new content.
    uint64_t Position() const { return InMemory() ? m_pMemory->size() : m_out.Position(); }
    // The content is in the memory, not in a temporary file.
    bool InMemory() const { return m_pMemory && !m_bSpilled; }

private:
    CSafeRewrite& m_out;
    std::string* m_pMemory;
    size_t m_nLimit;
    bool m_bBegun = false;
    bool m_bSpilled = false;
};

// Makes the new content of one file from its old content.
class CContentProducer {
public:
    enum Result { NEW_CONTENT, NO_CHANGE, READ_FAILED, WRITE_FAILED };
    virtual ~CContentProducer() = default;
    // Reads the old content from in and writes the new one to out. Whatever may fail for want
    // of memory is done here too: once the new content is in place, only OnReplaced follows.
    virtual Result Produce(CFile& in, CContentSink& out) = 0;
    // What follows once the new content has replaced the old (records, report lines). A change
    // made in place waits for its batch, so this runs after ReplaceContent has returned, or
    // never when the change failed: it must hold all it needs.
    virtual std::function<void()> OnReplaced() = 0;
    // For the run's journal: what the change is ("line ends", "links"), and the lines that
    // report its undo.
    virtual std::string Kind() const = 0;
    virtual std::string UndoLines() const = 0;
};

// Every change goes through the open directory that holds the entry (site/DirHandles.h) and
// is made only when the name still leads to what the scan saw; otherwise the entry is reported
// and left alone.
class CTreeWriter {
public:
    explicit CTreeWriter(CRunContext& ctx);
    ~CTreeWriter();
    CTreeWriter(const CTreeWriter&) = delete;
    CTreeWriter& operator=(const CTreeWriter&) = delete;

    // Renames the entry at node.m_strPath to strNewName in the same directory, never replacing
    // an existing entry; node.m_strPath follows. A failure gets an error line.
    bool Rename(CFileNode& node, const std::string& strNewName);
    // Gives the owner write permission; the node's mode and attributes follow.
    bool MakeWritable(CFileNode& node);
    // Replaces the file's content with what producer makes, in one step: a failure leaves the
    // file as it was and gets an error line. Never writes through a symbolic link. True when
    // the content was replaced or needed no change.
    bool ReplaceContent(CFileNode& node, CContentProducer& producer);
    // Gives the symbolic link name in dir the new text in one step; a failure leaves the old
    // link and gets an error line. The only way a pass changes a link.
    bool Repoint(const CDirNode& dir, std::string_view name, const std::string& strNewText);
    // Opens a file of the program's own in dir for adding lines after the ones it has, such
    // as "RENAME.LOG", creating it when missing. One that shares its content with other names
    // first gets a copy of its own, so the lines reach no other file.
    std::unique_ptr<CFile> AppendOwnFile(const CDirNode& dir, std::string_view name);
    // Removes name from dir when it is provably a temporary file or link that an ended run of
    // this program left (site/OwnFiles.h): the current user's, not shared, of a process that
    // no longer exists. False, and nothing changed, otherwise.
    bool RemoveLeftover(const CDirNode& dir, const std::string& name);
    // Adds text to the end of the file name in dir (a server's redirect rules), creating it
    // when missing; a last line without its line end gets one first. kind and undoLines are
    // for the journal: undo gives the file back as it was, or removes the one it made. Never
    // through a symbolic link, never into a file that other names share.
    bool AddToFile(const CDirNode& dir, const std::string& name, const std::string& text,
                   const std::string& kind, const std::string& undoLines);
    // Creates the file name in dir holding content, never in place of an entry; undo removes
    // it while it still holds that content.
    bool CreateFile(const CDirNode& dir, const std::string& name, const std::string& content,
                    const std::string& kind, const std::string& undoLines);
    // Removes a file of the program's own that could not be written whole.
    bool RemoveOwnFile(const CDirNode& dir, std::string_view name);
    // A temporary file in dir that a file of the program's own is written to before
    // PutOwnFile gives it its name; tempName receives the temporary name.
    std::unique_ptr<CFile> BeginOwnFile(const CDirNode& dir, std::string& tempName);
    // Gives the written temporary file the name name in dir, in one step. With a journal, the
    // file is recorded as created or, when name held a file, as that file's new content, the
    // old content kept: undo removes the new file, or gives the old content back, while the
    // file still holds what was put here. Never in place of a link or a directory. The
    // temporary file is gone afterwards, whatever happened.
    bool PutOwnFile(const CDirNode& dir, const std::string& tempName, const std::string& name,
                    const std::string& kind, const std::string& undoLines);
    bool HasJournal() const { return m_pJournal != nullptr; }

    // From now on every change below top is recorded in journal before it is made. Content
    // then changes in place (the journal holds the way back), in batches that each wait for
    // the disk once. A null journal ends that.
    void UseJournal(CRunJournal* journal, const CDirNode* top);
    // Records every rename the renaming pass may make below top, all in one commit, so that
    // the pass need not wait for the disk once per entry.
    bool JournalRenames(const CDirNode& top);
    // Makes the content changes that wait in memory, once their records are on the disk, and
    // marks them written. Every pass that changes content ends with it.
    bool Flush();
    // Records how the run ended ("complete", "cancelled", "failed"), after everything it
    // changed is on the disk.
    bool EndJournal(const char* state);
    // Some change was recorded in the journal.
    bool Journaled() const { return m_nJournaled > 0; }

    CRunContext& Ctx() const { return m_ctx; }
    // Renames, content replacements and re-pointed links that failed so far: a pass compares
    // the count before and after, so that it never calls work that failed done.
    int Failures() const { return m_nFailures; }

private:
    // The open directory that holds node; null after an error line.
    CDir* DirOf(const CFileNode& node);
    // True when node's name in dir still leads to what the scan saw; st tells what it is now.
    // Otherwise an error line is written.
    bool IsScanned(CDir& dir, const CFileNode& node, FileStat& st);
    // Sets the permission bits of node; the node's mode and attributes follow.
    bool SetMode(CFileNode& node, unsigned mode);
    bool MarkWritten(const std::string& path);
    // Records, on the disk, that made is put in place of the entry name of dir, which st
    // describes when exists (its content then kept); false after an error line.
    bool JournalPut(CDir& dir, const CDirNode& dirNode, const std::string& name, bool exists,
                    const FileStat& st, CFile& made, const std::string& kind,
                    const std::string& undoLines);
    bool Failed() {
        ++m_nFailures;
        return false;
    }

    // A content change made in memory, recorded, and waiting for its batch's commit.
    struct PendingWrite {
        std::unique_ptr<CFile> file;  // open on the file itself, for reading and writing
        std::string content;
        std::string path;
        std::function<void()> replaced;
        uint64_t offset = 0, length = 0;  // the original, in the journal
    };
    // The journal's record of a change to node, with its directory as it is named now.
    JournalRecord RecordOf(JournalRecord::Kind kind, const CFileNode& node) const;
    // A record of a change to the entry name of dir that has no node (a file the program
    // writes for the server).
    JournalRecord RecordIn(JournalRecord::Kind kind, const CDirNode& dir, const std::string& name,
                           const std::string& change, const std::string& undoLines) const;
    std::string RelativePath(const CDirNode& dir) const;
    // Records r and, with commit, waits until it is on the disk; a failure gets an error line
    // for path.
    bool Journal(const JournalRecord& r, bool commit, const std::string& path);
    bool ReplaceInPlace(CFileNode& node, CContentProducer& producer, CDir& dir, const FileStat& st);
    // Node's file in dir, for writing too with modify, only while it is the scanned file; null
    // after an error line otherwise.
    std::unique_ptr<CFile> OpenScanned(CDir& dir, const CFileNode& node, bool modify);
    // False after an error line when the producer could not make the new content.
    bool Produced(CContentProducer::Result result, const CSafeRewrite& rewrite,
                  const std::string& path);
    // False after an error line for a file that other names share.
    bool MayReplace(const FileStat& st, const std::string& path);
    // The record of a content change, its original kept in the journal; false after an error
    // line.
    bool ContentRecord(const CFileNode& node, const CContentProducer& producer, CFile& original,
                       const FileStat& st, JournalRecord& r);
    // Records a replacement through a temporary file, on the disk before the replacement.
    bool JournalRewrite(const CFileNode& node, const CContentProducer& producer, CFile& original,
                        const FileStat& st, const CSafeRewrite& rewrite);
    // The replacement through a temporary file, for content too large to hold in memory.
    bool CommitRewrite(CFileNode& node, CSafeRewrite& rewrite, unsigned mode);
    bool WriteInPlace(PendingWrite& w);
    bool RestoreOriginal(PendingWrite& w);

    CRunContext& m_ctx;
    CDirHandles m_handles;
    std::unique_ptr<CDir> m_pLoose;  // DirOf's handle for a node outside a tree
    int m_nFailures = 0;
    CRunJournal* m_pJournal = nullptr;
    const CDirNode* m_pTop = nullptr;
    int m_nJournaled = 0;
    // Renames recorded ahead by JournalRenames.
    std::unordered_set<const CFileNode*> m_renamesAhead;
    std::vector<PendingWrite> m_pending;
    uint64_t m_nPendingBytes = 0;
};

}  // namespace ts
