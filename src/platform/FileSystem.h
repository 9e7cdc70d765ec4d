// The narrow file-system interface the engine works through. The real implementation is
// POSIX; tests substitute a double that fails chosen operations, so every failure path of
// renaming and rewriting can be exercised without root or a full disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "platform/Result.h"

namespace ts {

enum class EntryKind {
    Missing,    // lstat failed
    File,       // a regular file, or a symbolic link to one
    Directory,  // a real directory, never a link to one
    Special,    // FIFO, socket, device, link to a directory or to nothing: never opened
};

struct FileStat {
    EntryKind kind = EntryKind::Missing;
    bool isLink = false;     // the entry itself is a symbolic link
    bool linkToDir = false;  // a symbolic link to a directory (Special for every entry below
                             // the top directory the user named)
    bool readOnly = false;   // owner write bit clear, or on a read-only mount
    unsigned mode = 0;       // permission bits of what the entry names
    uint64_t size = 0;
    unsigned uid = 0, gid = 0;  // owner and group of what the entry names
    uint64_t links = 1;         // names the file has (hard links)
    bool sparse = false;        // fewer blocks than its size needs: it has holes
};

// An open file, closed when destroyed.
class CFile {
public:
    virtual ~CFile() = default;
    // Reads up to n bytes; returns the count (0 at the end) or -1 on failure.
    virtual long long Read(void* buf, size_t n) = 0;
    // Writes all n bytes or fails; a failed write at the end of a file leaves no part behind.
    virtual bool Write(const void* buf, size_t n) = 0;
    virtual bool Seek(uint64_t offset) = 0;
    // Cuts or extends the file to length (extended with a hole).
    virtual bool Resize(uint64_t length) = 0;
    // Current length, or -1. A handle open for reading only answers with the length the file
    // had when it was opened.
    virtual long long Length() = 0;
    // Forces written data to the disk.
    virtual bool Sync() = 0;
    virtual bool Close() = 0;
};

// The calls that can fail return a CResult with the errno of the failure. The opening calls
// return no handle on failure, and the calls of CFile return false, with errno telling why.
class CFileSystem {
public:
    virtual ~CFileSystem() = default;

    // lstat, then stat through a link to decide what the entry is.
    virtual CResult Stat(const std::string& path, FileStat& st) = 0;
    // The names of a directory's entries without "." and "..", sorted by bytes so that every
    // run sees the same order whatever the file system returns.
    virtual CResult ListDir(const std::string& dir, std::vector<std::string>& names) = 0;
    // Opens an existing regular file for reading (through a link). Never blocks on a FIFO.
    virtual std::unique_ptr<CFile> OpenRead(const std::string& path) = 0;
    // Creates or truncates a file for writing; refuses to write through a symbolic link.
    virtual std::unique_ptr<CFile> OpenWrite(const std::string& path) = 0;
    // Creates a file that must not exist yet (never replaces anything).
    virtual std::unique_ptr<CFile> OpenNew(const std::string& path) = 0;
    // Opens a regular file for adding to its end, creating it when missing. Refuses a symbolic
    // link (ELOOP) and a file that other names share (EMLINK): what is added would reach them.
    virtual std::unique_ptr<CFile> OpenAppend(const std::string& path) = 0;
    // Creates a new file exclusively in dir, named prefix + a unique part; path receives it.
    virtual std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                              std::string& path) = 0;
    // Renames an entry; never replaces an existing one.
    virtual CResult RenameNoReplace(const std::string& from, const std::string& to) = 0;
    // Renames a file over an existing one in one step (the last step of a safe rewrite).
    virtual CResult ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual CResult Remove(const std::string& path) = 0;
    virtual CResult SetMode(const std::string& path, unsigned mode) = 0;
    // Gives the file at to the owner, group and extended attributes (access control lists
    // among them) of the file at from; neither is followed if a link. Nothing to keep when
    // from does not exist. A failure may leave to partly changed: the caller discards it.
    virtual CResult KeepMetadata(const std::string& from, const std::string& to) = 0;
    // The text of a symbolic link, as written.
    virtual CResult ReadLink(const std::string& path, std::string& text) = 0;
    // Gives the symbolic link at path the new text in one step: a new link made under a
    // temporary name beside it replaces it by a rename, so a crash leaves the old link or the
    // new one, never none. Refuses anything but a symbolic link; a failure leaves it as it was.
    virtual CResult ReplaceLink(const std::string& path, const std::string& text) = 0;
    // Creates and removes a probe file; false when the directory refuses writes.
    virtual CResult CanWriteIn(const std::string& dir) = 0;
    // A scan of a tree begins or ends. Between the two, no directory is renamed or removed,
    // so an implementation may keep the directories being listed open.
    virtual void BeginScan() {}
    virtual void EndScan() {}
    // True when Stat, ReadLink, OpenRead and the reads of the files it opens may run on several
    // threads at once, while no other call runs.
    virtual bool ConcurrentReads() const { return false; }
};

// The process's real file system.
CFileSystem& RealFileSystem();

// Creates a new file at path in place of whatever entry has that name: the old name is removed
// first, so a symbolic link is never followed and a file that other names share keeps its
// content under them. Never truncates a file.
std::unique_ptr<CFile> CreateInPlaceOf(CFileSystem& fs, const std::string& path);

// Moves a file without replacing an existing one; across file systems by copying.
CResult MoveFileNoReplace(CFileSystem& fs, const std::string& from, const std::string& to);

// Reads the whole of a file (reports only; user files are always streamed).
CResult ReadWholeFile(CFileSystem& fs, const std::string& path, std::string& out);

// The directory for temporary reports: $TMP when it names a directory, else $TMPDIR, else /tmp.
std::string TempDirectory();

// Creates a directory and its missing parents (mode 0755); true when it exists afterwards.
bool MakeDirectories(const std::string& dir);

// The profile file: $TESSARY_PROFILE, else $XDG_CONFIG_HOME/tessary/tessary.ini, else
// ~/.config/tessary/tessary.ini.
std::string ProfilePath();

}  // namespace ts
