// The one way the engine changes the user's tree: renaming entries, making them writable,
// replacing a file's content, and the files the program itself puts into the tree. The passes
// decide what changes; only the writer touches the disk, and keeps the nodes in step with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/SafeRewrite.h"
#include "site/DirHandles.h"

namespace ts {

class CDirNode;
class CFileNode;
class CRunContext;

// Where a producer writes the new content of a file. Nothing exists on disk until Begin:
// a producer that finds nothing to change may never begin.
class CContentSink {
public:
    explicit CContentSink(CSafeRewrite& out) : m_out(out) {}
    bool Begin();
    bool Begun() const { return m_bBegun; }
    bool Write(const void* data, size_t n) { return m_out.Write(data, n); }
    bool Write(const std::string& s) { return m_out.Write(s); }
    // Offset of the next byte in the new content.
    uint64_t Position() const { return m_out.Position(); }

private:
    CSafeRewrite& m_out;
    bool m_bBegun = false;
};

// Makes the new content of one file from its old content.
class CContentProducer {
public:
    enum Result { NEW_CONTENT, NO_CHANGE, READ_FAILED, WRITE_FAILED };
    virtual ~CContentProducer() = default;
    // Reads the old content from in and writes the new one to out. Whatever may fail for want
    // of memory is done here too: once the new content is in place, only Replaced follows.
    virtual Result Produce(CFile& in, CContentSink& out) = 0;
    // The new content has replaced the old one.
    virtual void Replaced() = 0;
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
    // Takes back the write permission MakeWritable gave (undo). A failure gets an error line.
    bool RestoreReadOnly(CFileNode& node);
    // Replaces the file's content with what producer makes, in one step: a failure leaves the
    // file as it was and gets an error line. Never writes through a symbolic link. True when
    // the content was replaced or needed no change.
    bool ReplaceContent(CFileNode& node, CContentProducer& producer);
    // Gives the symbolic link name in dir the new text in one step; a failure leaves the old
    // link and gets an error line. The only way a pass changes a link.
    bool Repoint(const CDirNode& dir, std::string_view name, const std::string& strNewText);
    // Creates a file of the program's own in dir, such as the external-URL page, in place of
    // an earlier one (CreateInPlaceOf): never by truncating a file, never through a link.
    std::unique_ptr<CFile> CreateOwnFile(const CDirNode& dir, std::string_view name);
    // Opens a file of the program's own in dir for adding lines after the ones it has, such
    // as "RENAME.LOG", creating it when missing. One that shares its content with other names
    // first gets a copy of its own, so the lines reach no other file.
    std::unique_ptr<CFile> AppendOwnFile(const CDirNode& dir, std::string_view name);
    // Removes name from dir when it is provably a temporary file or link that an ended run of
    // this program left (site/OwnFiles.h): the current user's, not shared, of a process that
    // no longer exists. False, and nothing changed, otherwise.
    bool RemoveLeftover(const CDirNode& dir, const std::string& name);
    // Removes a file of the program's own that could not be written whole.
    bool RemoveOwnFile(const CDirNode& dir, std::string_view name);

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
    bool Failed() {
        ++m_nFailures;
        return false;
    }

    CRunContext& m_ctx;
    CDirHandles m_handles;
    std::unique_ptr<CDir> m_pLoose;  // DirOf's handle for a node outside a tree
    int m_nFailures = 0;
};

}  // namespace ts
