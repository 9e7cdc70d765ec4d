// The narrow file-system interface the engine works through. The real implementation is
// POSIX; tests substitute a double that fails chosen operations, so every failure path of
// renaming and rewriting can be exercised without root or a full disk.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
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

// Which file-system object an entry is. A name that no longer leads to the object the scan saw
// names another entry, whatever the name.
struct FileId {
    uint64_t dev = 0, ino = 0;
    auto operator<=>(const FileId&) const = default;
};

struct FileStat {
    EntryKind kind = EntryKind::Missing;
    bool isLink = false;     // the entry itself is a symbolic link
    bool linkToDir = false;  // a symbolic link to a directory (Special for every entry below
                             // the top directory the user named)
    bool readOnly = false;   // owner write bit clear, or on a read-only mount
    unsigned mode = 0;       // permission bits of what the entry names
    uint64_t size = 0;
    int64_t mtimeNs = 0;        // when the entry itself (a link, not what it names) last changed
    unsigned uid = 0, gid = 0;  // owner and group of what the entry names
    uint64_t links = 1;         // names the file has (hard links)
    bool sparse = false;        // fewer blocks than its size needs: it has holes
    FileId id;                  // the entry itself (a link, not what it names)
    FileId followedId;          // what the entry names: the directory a link leads to
};

// Who owns a file and the extended attributes (access control lists among them) it carries:
// what a rewrite must give the new content so that nobody loses access to his file.
struct FileMetadata {
    unsigned uid = 0, gid = 0;
    std::vector<std::pair<std::string, std::string>> attributes;  // name, value
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
    // Sets aside room for length bytes, so that writing them later cannot find the disk full;
    // the content and its length stay as they are. True where a file system cannot do it.
    virtual bool Reserve(uint64_t) { return true; }
    // The calls below concern files on disk; a file kept in memory has no identity, mode or
    // metadata and refuses them (ENOTSUP).
    // The object the handle is open on.
    virtual FileId Id() { return FileId(); }
    virtual bool SetMode(unsigned) { return Unsupported(); }
    virtual bool GetMetadata(FileMetadata&) { return Unsupported(); }
    // Gives the file md's owner and group (only where they differ) and attributes. An
    // attribute the file cannot take fails the call: the caller then discards the file.
    virtual bool SetMetadata(const FileMetadata&) { return Unsupported(); }

private:
    static bool Unsupported();
};

// An open directory. Every call names an entry directly inside it and never follows a symbolic
// link in that entry's place, so a directory moved, renamed or replaced by a link since it was
// opened cannot lead a change anywhere else. The calls fail like those of CFileSystem.
class CDir {
public:
    virtual ~CDir() = default;
    virtual FileId Id() const = 0;
    // As CFileSystem::Stat, for an entry of this directory.
    virtual CResult Stat(const std::string& name, FileStat& st) = 0;
    // A subdirectory; a symbolic link in its place is refused (ELOOP or ENOTDIR).
    virtual std::unique_ptr<CDir> OpenDir(const std::string& name) = 0;
    // A regular file for reading; a symbolic link is refused.
    virtual std::unique_ptr<CFile> OpenRead(const std::string& name) = 0;
    // A file that must not exist yet.
    virtual std::unique_ptr<CFile> OpenNew(const std::string& name) = 0;
    // An existing regular file for reading and writing in place, neither created nor cut.
    virtual std::unique_ptr<CFile> OpenModify(const std::string& name) = 0;
    // A regular file for adding to its end, created when missing. Refuses a symbolic link
    // (ELOOP) and a file that other names share (EMLINK): what is added would reach them.
    virtual std::unique_ptr<CFile> OpenAppend(const std::string& name) = 0;
    // A new file named prefix + a unique part; name receives the name.
    virtual std::unique_ptr<CFile> CreateTemp(const std::string& prefix, std::string& name) = 0;
    // Never replaces an existing entry; a change of case alone works on a file system that
    // ignores case.
    virtual CResult RenameNoReplace(const std::string& from, const std::string& to) = 0;
    // Renames a file over an existing one in one step (the last step of a safe rewrite).
    virtual CResult Replace(const std::string& from, const std::string& to) = 0;
    virtual CResult Remove(const std::string& name) = 0;
    // Forces the directory's entries (new names, removed names) to the disk.
    virtual CResult Sync() = 0;
    // Forces everything written to the file system that holds the directory to the disk: one
    // call for a batch of changes, where a sync per file would cost one disk flush each.
    virtual CResult SyncAll() { return Sync(); }
    // Refuses a symbolic link.
    virtual CResult SetMode(const std::string& name, unsigned mode) = 0;
    virtual CResult ReadLink(const std::string& name, std::string& text) = 0;
    // Sets the modification time of the entry itself (a link, not what it names), in
    // nanoseconds since the epoch; the access time stays.
    virtual CResult SetTime(const std::string& name, int64_t mtimeNs);
    // Gives the symbolic link name the new text in one step: a new link made under a temporary
    // name beside it replaces it by a rename, so a crash leaves the old link or the new one,
    // never none. Refuses anything but a symbolic link; a failure leaves it as it was.
    virtual CResult ReplaceLink(const std::string& name, const std::string& text) = 0;
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
    // Creates a new file exclusively in dir, named prefix + a unique part; path receives it.
    virtual std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                              std::string& path) = 0;
    // Opens a directory, following a symbolic link in the path as the user gave it.
    virtual std::unique_ptr<CDir> OpenDir(const std::string& path) = 0;
    // Renames an entry; never replaces an existing one.
    virtual CResult RenameNoReplace(const std::string& from, const std::string& to) = 0;
    virtual CResult Remove(const std::string& path) = 0;
    // The text of a symbolic link, as written.
    virtual CResult ReadLink(const std::string& path, std::string& text) = 0;
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
std::unique_ptr<CFile> CreateInPlaceOf(CDir& dir, const std::string& name);

// Moves a file without replacing an existing one; across file systems by copying.
CResult MoveFileNoReplace(CFileSystem& fs, const std::string& from, const std::string& to);

// Reads the whole of a file (reports only; user files are always streamed).
CResult ReadWholeFile(CFileSystem& fs, const std::string& path, std::string& out);

// The directory for temporary reports: $TMP when it names a directory, else $TMPDIR, else /tmp.
std::string TempDirectory();

// Creates a directory and its missing parents (mode 0755); true when it exists afterwards.
bool MakeDirectories(const std::string& dir);
// Creates a directory that must not exist yet, for the user alone (mode 0700).
bool MakeNewDirectory(const std::string& dir);
// Removes an empty directory.
bool RemoveEmptyDirectory(const std::string& dir);
// The absolute path of an existing entry with every link and "." or ".." resolved; empty with
// errno set when there is none.
std::string CanonicalPath(const std::string& path);

// A directory of the user's by the XDG rules: $var when it is an absolute path, else
// $HOME/underHome, else /tmp.
std::string UserDirectory(const char* var, const char* underHome);

// The profile file: $TESSARY_PROFILE, else $XDG_CONFIG_HOME/tessary/tessary.ini, else
// ~/.config/tessary/tessary.ini.
std::string ProfilePath();

}  // namespace ts
