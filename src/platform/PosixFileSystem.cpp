// POSIX implementation of CFileSystem.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {
namespace {

FileId IdOf(const struct stat& s) {
    return {static_cast<uint64_t>(s.st_dev), static_cast<uint64_t>(s.st_ino)};
}

class CPosixFile : public CFile {
public:
    // size >= 0: the file is open for reading only and had that size when it was opened.
    explicit CPosixFile(int fd, long long size = -1) : m_fd(fd), m_nOpenSize(size) {}
    ~CPosixFile() override { Close(); }

    long long Read(void* buf, size_t n) override {
        size_t got = 0;
        while (got < n) {
            ssize_t r = ::read(m_fd, static_cast<char*>(buf) + got, n - got);
            if (r < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            if (r == 0) break;
            got += static_cast<size_t>(r);
            m_nPos += r;
            // Most files are smaller than a block: having reached the size the file had when
            // it was opened, do not ask again only to be told it ended (a scan would pay one
            // system call per file for that). A later call still sees anything appended.
            if (m_nOpenSize >= 0 && m_nPos >= m_nOpenSize) break;
        }
        return static_cast<long long>(got);
    }

    bool Write(const void* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t w = ::write(m_fd, static_cast<const char*>(buf) + done, n - done);
            if (w < 0) {
                if (errno == EINTR) continue;
                Unwrite(done);
                return false;
            }
            done += static_cast<size_t>(w);
        }
        return true;
    }

    bool Seek(uint64_t offset) override {
        off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
        if (pos >= 0) m_nPos = pos;
        return pos == static_cast<off_t>(offset);
    }

    long long Length() override {
        // Nothing can be written through a read-only handle, so the size seen when it was
        // opened stands; a scan then needs no second fstat per file.
        if (m_nOpenSize >= 0) return m_nOpenSize;
        struct stat st;
        if (::fstat(m_fd, &st) != 0) return -1;
        return st.st_size;
    }

    bool Resize(uint64_t length) override {
        return ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
    }

    bool Sync() override { return ::fsync(m_fd) == 0; }

    bool Reserve(uint64_t length) override {
        if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(length)) == 0) return true;
        return errno == EOPNOTSUPP || errno == ENOSYS;
    }

    FileId Id() override {
        struct stat st;
        return ::fstat(m_fd, &st) == 0 ? IdOf(st) : FileId();
    }

    bool SetMode(unsigned mode) override { return ::fchmod(m_fd, static_cast<mode_t>(mode)) == 0; }

    bool GetMetadata(FileMetadata& md) override;
    bool SetMetadata(const FileMetadata& md) override;

    bool Close() override {
        if (m_fd < 0) return true;
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    // A write that failed part of the way (a disk that filled up) takes back what it wrote
    // when it was appending, so that the caller may write the same text again later.
    void Unwrite(size_t done) {
        if (done == 0) return;
        int err = errno;
        off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        off_t start = end - static_cast<off_t>(done);
        struct stat st;
        if (start >= 0 && ::fstat(m_fd, &st) == 0 && st.st_size == end &&
            ::ftruncate(m_fd, start) == 0)
            ::lseek(m_fd, start, SEEK_SET);
        errno = err;
    }

    int m_fd;
    long long m_nOpenSize;
    long long m_nPos = 0;  // the file offset, followed for read-only handles
};

bool CPosixFile::GetMetadata(FileMetadata& md) {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return false;
    md.uid = st.st_uid;
    md.gid = st.st_gid;
    md.attributes.clear();
    ssize_t n = ::flistxattr(m_fd, nullptr, 0);
    if (n <= 0) return n == 0 || errno == ENOTSUP;
    std::vector<char> names(static_cast<size_t>(n) + 1, '\0');
    n = ::flistxattr(m_fd, names.data(), names.size() - 1);
    if (n < 0) return false;
    for (size_t i = 0; i < static_cast<size_t>(n); i += std::strlen(names.data() + i) + 1) {
        const char* name = names.data() + i;
        std::string value;
        ssize_t v = ::fgetxattr(m_fd, name, nullptr, 0);
        if (v >= 0) {
            value.resize(static_cast<size_t>(v));
            v = ::fgetxattr(m_fd, name, value.data(), value.size());
        }
        if (v < 0) return false;
        value.resize(static_cast<size_t>(v));
        md.attributes.emplace_back(name, std::move(value));
    }
    return true;
}

bool CPosixFile::SetMetadata(const FileMetadata& md) {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return false;
    if ((st.st_uid != md.uid || st.st_gid != md.gid) && ::fchown(m_fd, md.uid, md.gid) != 0)
        return false;
    for (const auto& [name, value] : md.attributes)
        if (::fsetxattr(m_fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
    return true;
}

// The result of a system call that returns 0 on success.
CResult Check(int rc) {
    return rc == 0 ? CResult::Ok() : CResult::FromErrno();
}

// Fills st for the entry name of dir (AT_FDCWD and a path work too): lstat, then stat through
// a link to decide what it is. readOnlyMount tells whether a device is mounted read-only.
template <class ReadOnlyMount>
CResult StatAt(int dir, const char* name, FileStat& st, ReadOnlyMount readOnlyMount) {
    st = FileStat();
    struct stat ls;
    if (::fstatat(dir, name, &ls, AT_SYMLINK_NOFOLLOW) != 0) return CResult::FromErrno();
    struct stat s = ls;
    st.id = st.followedId = IdOf(ls);
    if (S_ISLNK(ls.st_mode)) {
        st.isLink = true;
        if (::fstatat(dir, name, &s, 0) != 0) {
            st.kind = EntryKind::Special;  // a link to nothing
            return CResult::Ok();
        }
        st.followedId = IdOf(s);
        // A link to a directory is never followed: a loop must not hang a scan.
        st.kind = S_ISREG(s.st_mode) ? EntryKind::File : EntryKind::Special;
        st.linkToDir = S_ISDIR(s.st_mode);
    } else if (S_ISDIR(s.st_mode)) {
        st.kind = EntryKind::Directory;
    } else if (S_ISREG(s.st_mode)) {
        st.kind = EntryKind::File;
    } else {
        st.kind = EntryKind::Special;
    }
    st.mode = s.st_mode & 07777;
    st.size = static_cast<uint64_t>(s.st_size);
    st.mtimeNs = static_cast<int64_t>(ls.st_mtim.tv_sec) * 1000000000 + ls.st_mtim.tv_nsec;
    st.uid = s.st_uid;
    st.gid = s.st_gid;
    st.links = static_cast<uint64_t>(s.st_nlink);
    st.sparse = static_cast<uint64_t>(s.st_blocks) * 512 < st.size;
    st.readOnly = (s.st_mode & S_IWUSR) == 0 || readOnlyMount(s.st_dev);
    return CResult::Ok();
}

// Opens a regular file of dir. O_NONBLOCK keeps a FIFO from blocking the open; it
// has no effect on reading a regular file, so it stays set rather than costing a system call
// per file to clear.
// flags holds the access mode (O_RDONLY or O_RDWR) and O_NOFOLLOW where wanted.
std::unique_ptr<CFile> OpenRegularAt(int dir, const char* name, int flags) {
    int fd = ::openat(dir, name, O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0) return nullptr;
    struct stat s;
    if (::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    const bool readOnly = (flags & O_ACCMODE) == O_RDONLY;
    return std::make_unique<CPosixFile>(fd, readOnly ? static_cast<long long>(s.st_size) : -1);
}

std::unique_ptr<CFile> OpenNewAt(int dir, const char* name) {
    int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<CPosixFile>(fd);
}

std::unique_ptr<CFile> OpenAppendAt(int dir, const char* name) {
    int fd = ::openat(dir, name,
                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat s;
    int err = ::fstat(fd, &s) != 0  ? errno
              : !S_ISREG(s.st_mode) ? EINVAL
              : s.st_nlink > 1      ? EMLINK
                                    : 0;
    if (err != 0) {
        ::close(fd);
        errno = err;
        return nullptr;
    }
    return std::make_unique<CPosixFile>(fd);
}

// A name no other process picks: the process, a counter and the clock.
std::string UniqueName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    unsigned mix = static_cast<unsigned>(ts.tv_nsec) ^ (++counter * 2654435761u);
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = prefix + std::to_string(::getpid()) + "_";
    for (int i = 0; i < 6; ++i, mix /= 62)
        name += kChars[mix % 62];
    return name;
}

std::unique_ptr<CFile> CreateTempAt(int dir, const std::string& prefix, std::string& name) {
    for (int i = 0; i < 100; ++i) {
        std::string candidate = UniqueName(prefix);
        int fd = ::openat(dir, candidate.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            name = std::move(candidate);
            return std::make_unique<CPosixFile>(fd);
        }
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

CResult RawRenameNoReplace(int dir, const char* from, const char* to) {
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) return CResult::Ok();
    if (errno != EINVAL && errno != ENOSYS) return CResult::FromErrno();
    // The file system cannot rename exclusively: a hard link refuses an existing name.
    struct stat s;
    if (::fstatat(dir, from, &s, AT_SYMLINK_NOFOLLOW) != 0) return CResult::FromErrno();
    if (!S_ISDIR(s.st_mode)) {
        if (::linkat(dir, from, dir, to, 0) != 0) return CResult::FromErrno();
        if (::unlinkat(dir, from, 0) != 0) {
            CResult r = CResult::FromErrno();
            ::unlinkat(dir, to, 0);
            return r;
        }
        return CResult::Ok();
    }
    if (::fstatat(dir, to, &s, AT_SYMLINK_NOFOLLOW) == 0) return CResult::Fail(EEXIST);
    return Check(::renameat(dir, from, dir, to));
}

// from and to name entries of dir (or whole paths with AT_FDCWD).
CResult RenameNoReplaceAt(int dir, const std::string& from, const std::string& to) {
    CResult r = RawRenameNoReplace(dir, from.c_str(), to.c_str());
    if (r || r.Error() != EEXIST) return r;
    // A change of case alone on a case-insensitive file system: both names are one entry.
    struct stat a, b;
    if (::fstatat(dir, from.c_str(), &a, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(dir, to.c_str(), &b, AT_SYMLINK_NOFOLLOW) != 0 || !(IdOf(a) == IdOf(b)) ||
        BaseName(from) == BaseName(to))
        return CResult::Fail(EEXIST);
    std::string dirPart = DirName(to);
    std::string mid = (dirPart.empty() ? std::string() : dirPart + "/") + ".ts_case_" +
                      std::to_string(::getpid());
    for (int i = 0; i < 1000; ++i) {
        std::string candidate = mid + "_" + std::to_string(i);
        r = RawRenameNoReplace(dir, from.c_str(), candidate.c_str());
        if (r) {
            r = RawRenameNoReplace(dir, candidate.c_str(), to.c_str());
            if (!r) RawRenameNoReplace(dir, candidate.c_str(), from.c_str());
            return r;
        }
        if (r.Error() != EEXIST) return r;
    }
    return r;
}

CResult ReadLinkAt(int dir, const char* name, std::string& text) {
    text.clear();
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = ::readlinkat(dir, name, buf.data(), buf.size());
        if (n < 0) return CResult::FromErrno();
        // A text that fills the buffer may have been cut: try again with more room.
        if (static_cast<size_t>(n) < buf.size()) {
            text.assign(buf.data(), static_cast<size_t>(n));
            return CResult::Ok();
        }
        buf.resize(buf.size() * 2);
    }
}

CResult ReplaceLinkAt(int dir, const std::string& name, const std::string& text) {
    struct stat s;
    if (::fstatat(dir, name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) return CResult::FromErrno();
    if (!S_ISLNK(s.st_mode)) return CResult::Fail(EINVAL);
    // symlinkat never replaces anything, so a name taken meanwhile only means the next one.
    std::string temp;
    for (int i = 0;; ++i) {
        temp = UniqueName(".ts_link_");
        if (::symlinkat(text.c_str(), dir, temp.c_str()) == 0) break;
        if (errno != EEXIST || i == 100) return CResult::FromErrno();
    }
    // The rename replaces the old link in one step; renameat never follows it.
    if (::renameat(dir, temp.c_str(), dir, name.c_str()) != 0) {
        CResult r = CResult::FromErrno();
        ::unlinkat(dir, temp.c_str(), 0);
        return r;
    }
    return CResult::Ok();
}

class CPosixFileSystem;

class CPosixDir : public CDir {
public:
    CPosixDir(CPosixFileSystem& fs, int fd, FileId id) : m_fs(fs), m_fd(fd), m_id(id) {}
    ~CPosixDir() override { ::close(m_fd); }
    CPosixDir(const CPosixDir&) = delete;
    CPosixDir& operator=(const CPosixDir&) = delete;

    // Wraps an open directory; null (errno set) when fd failed or is no directory.
    static std::unique_ptr<CDir> From(CPosixFileSystem& fs, int fd) {
        if (fd < 0) return nullptr;
        struct stat s;
        if (::fstat(fd, &s) != 0) {
            int err = errno;
            ::close(fd);
            errno = err;
            return nullptr;
        }
        return std::make_unique<CPosixDir>(fs, fd, IdOf(s));
    }

    FileId Id() const override { return m_id; }
    CResult Stat(const std::string& name, FileStat& st) override;
    std::unique_ptr<CDir> OpenDir(const std::string& name) override {
        return From(m_fs,
                    ::openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    std::unique_ptr<CFile> OpenRead(const std::string& name) override {
        return OpenRegularAt(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW);
    }
    std::unique_ptr<CFile> OpenNew(const std::string& name) override {
        return OpenNewAt(m_fd, name.c_str());
    }
    std::unique_ptr<CFile> OpenAppend(const std::string& name) override {
        return OpenAppendAt(m_fd, name.c_str());
    }
    std::unique_ptr<CFile> OpenModify(const std::string& name) override {
        return OpenRegularAt(m_fd, name.c_str(), O_RDWR | O_NOFOLLOW);
    }
    std::unique_ptr<CFile> CreateTemp(const std::string& prefix, std::string& name) override {
        return CreateTempAt(m_fd, prefix, name);
    }
    CResult RenameNoReplace(const std::string& from, const std::string& to) override {
        return RenameNoReplaceAt(m_fd, from, to);
    }
    CResult Replace(const std::string& from, const std::string& to) override {
        return Check(::renameat(m_fd, from.c_str(), m_fd, to.c_str()));
    }
    CResult Remove(const std::string& name) override {
        return Check(::unlinkat(m_fd, name.c_str(), 0));
    }
    CResult Sync() override { return Check(::fsync(m_fd)); }
    CResult SyncAll() override { return Check(::syncfs(m_fd)); }
    CResult SetTime(const std::string& name, int64_t mtimeNs) override {
        timespec times[2] = {{0, UTIME_OMIT}, {mtimeNs / 1000000000, mtimeNs % 1000000000}};
        return Check(::utimensat(m_fd, name.c_str(), times, AT_SYMLINK_NOFOLLOW));
    }
    CResult SetMode(const std::string& name, unsigned mode) override {
        // fchmodat cannot leave a link alone everywhere: the file is opened without following
        // one and changed through its handle.
        int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return CResult::FromErrno();
        CResult r = Check(::fchmod(fd, static_cast<mode_t>(mode)));
        ::close(fd);
        return r;
    }
    CResult ReadLink(const std::string& name, std::string& text) override {
        return ReadLinkAt(m_fd, name.c_str(), text);
    }
    CResult ReplaceLink(const std::string& name, const std::string& text) override {
        return ReplaceLinkAt(m_fd, name, text);
    }

private:
    CPosixFileSystem& m_fs;
    int m_fd;
    FileId m_id;
};

class CPosixFileSystem : public CFileSystem {
public:
    CResult Stat(const std::string& path, FileStat& st) override {
        const char* name = nullptr;
        int dir = OpenDirOf(path, name);
        return StatAt(dir, name, st, [&](dev_t dev) { return IsReadOnlyMount(path, dev); });
    }

    CResult ListDir(const std::string& dir, std::vector<std::string>& names) override {
        names.clear();
        // Below a directory already open, a link put in the place of a subdirectory since the
        // scan looked at it is refused, never followed.
        const char* name = nullptr;
        int parent = OpenDirOf(dir, name);
        int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (parent == AT_FDCWD ? 0 : O_NOFOLLOW);
        int fd = ::openat(parent, name, flags);
        if (fd < 0) return CResult::FromErrno();
        // A directory kept for the scan stays open; the listing reads through a copy of it.
        bool kept = m_bScanning && KeepScanDir(dir, fd);
        DIR* d = kept ? ::fdopendir(::dup(fd)) : ::fdopendir(fd);
        if (!d) {
            int err = errno;
            if (!kept) ::close(fd);
            return CResult::Fail(err);
        }
        errno = 0;
        while (struct dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            names.emplace_back(e->d_name);
        }
        int err = errno;
        ::closedir(d);
        std::sort(names.begin(), names.end());
        return err != 0 ? CResult::Fail(err) : CResult::Ok();
    }

    std::unique_ptr<CFile> OpenRead(const std::string& path) override {
        const char* name = nullptr;
        int dir = OpenDirOf(path, name);
        return OpenRegularAt(dir, name, O_RDONLY);
    }

    std::unique_ptr<CFile> OpenWrite(const std::string& path) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        return std::make_unique<CPosixFile>(fd);
    }

    std::unique_ptr<CFile> OpenNew(const std::string& path) override {
        return OpenNewAt(AT_FDCWD, path.c_str());
    }

    std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                      std::string& path) override {
        std::string base = dir == "/" ? std::string() : dir;
        return CreateTempAt(AT_FDCWD, base + "/" + prefix, path);
    }

    std::unique_ptr<CDir> OpenDir(const std::string& path) override {
        return CPosixDir::From(*this, ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }

    CResult RenameNoReplace(const std::string& from, const std::string& to) override {
        return RenameNoReplaceAt(AT_FDCWD, from, to);
    }

    CResult Remove(const std::string& path) override { return Check(::unlink(path.c_str())); }

    CResult ReadLink(const std::string& path, std::string& text) override {
        return ReadLinkAt(AT_FDCWD, path.c_str(), text);
    }

    CResult CanWriteIn(const std::string& dir) override {
        struct statvfs vfs;
        if (::statvfs(dir.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY))
            return CResult::Fail(EROFS);
        std::string probe = (dir == "/" ? std::string() : dir) + "/__rename.foo";
        int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) return CResult::Ok();  // someone's file: leave it alone
            return CResult::FromErrno();
        }
        ::close(fd);
        ::unlink(probe.c_str());
        return CResult::Ok();
    }

    void BeginScan() override { m_bScanning = true; }
    // Reads share only the directories a scan keeps open, which ListDir alone changes, and the
    // read-only mounts, which a lock guards.
    bool ConcurrentReads() const override { return true; }

    void EndScan() override {
        m_bScanning = false;
        for (const ScanDir& d : m_scanDirs)
            ::close(d.fd);
        m_scanDirs.clear();
    }

    bool IsReadOnlyMount(const std::string& path, dev_t dev) {
        return IsReadOnlyMount(
            dev, [&](struct statvfs& vfs) { return ::statvfs(path.c_str(), &vfs) == 0; });
    }

    template <class StatVfs>
    bool IsReadOnlyMount(dev_t dev, StatVfs statVfs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_readOnlyDevices.find(dev);
        if (it != m_readOnlyDevices.end()) return it->second;
        struct statvfs vfs;
        bool ro = statVfs(vfs) && (vfs.f_flag & ST_RDONLY);
        m_readOnlyDevices[dev] = ro;
        return ro;
    }

private:
    // While a scan runs, the directories on the way from its top to the one being listed stay
    // open, and their entries are examined relative to them: the kernel then looks up one name
    // instead of every directory of the path again (a sixth of a scan's time on deep trees).
    struct ScanDir {
        std::string path;
        int fd;
    };
    static constexpr size_t kMaxScanDirs = 64;

    // Closes the kept directories that are not above dir, then keeps fd (dir, just opened for
    // listing) unless there are too many already: deeper ones are then examined by path.
    bool KeepScanDir(const std::string& dir, int fd) {
        while (!m_scanDirs.empty()) {
            const std::string& top = m_scanDirs.back().path;
            bool above = dir.size() > top.size() && dir.compare(0, top.size(), top) == 0 &&
                         (top.back() == '/' || dir[top.size()] == '/');
            if (above) break;
            ::close(m_scanDirs.back().fd);
            m_scanDirs.pop_back();
        }
        if (m_scanDirs.size() >= kMaxScanDirs) return false;
        m_scanDirs.push_back({dir, fd});
        return true;
    }

    // The open directory that holds path, with name set to the last component; otherwise
    // AT_FDCWD with the whole path.
    int OpenDirOf(const std::string& path, const char*& name) {
        name = path.c_str();
        if (m_scanDirs.empty()) return AT_FDCWD;
        size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 == path.size()) return AT_FDCWD;
        std::string_view parent(path.data(), slash == 0 ? 1 : slash);
        for (auto it = m_scanDirs.rbegin(); it != m_scanDirs.rend(); ++it) {
            if (it->path == parent) {
                name = path.c_str() + slash + 1;
                return it->fd;
            }
        }
        return AT_FDCWD;
    }

    bool m_bScanning = false;
    std::vector<ScanDir> m_scanDirs;
    std::mutex m_mutex;
    std::unordered_map<dev_t, bool> m_readOnlyDevices;
};

CResult CPosixDir::Stat(const std::string& name, FileStat& st) {
    return StatAt(m_fd, name.c_str(), st, [this](dev_t dev) {
        return m_fs.IsReadOnlyMount(
            dev, [this](struct statvfs& vfs) { return ::fstatvfs(m_fd, &vfs) == 0; });
    });
}

}  // namespace

bool CFile::Unsupported() {
    errno = ENOTSUP;
    return false;
}

CResult CDir::SetTime(const std::string&, int64_t) {
    return CResult::Fail(ENOTSUP);
}

CFileSystem& RealFileSystem() {
    static CPosixFileSystem fs;
    return fs;
}

std::unique_ptr<CFile> CreateInPlaceOf(CDir& dir, const std::string& name) {
    std::unique_ptr<CFile> file = dir.OpenNew(name);
    if (file || errno != EEXIST) return file;
    if (!dir.Remove(name)) return nullptr;
    return dir.OpenNew(name);
}

std::unique_ptr<CFile> CreateInPlaceOf(CFileSystem& fs, const std::string& path) {
    std::unique_ptr<CDir> dir = fs.OpenDir(DirName(path).empty() ? "." : DirName(path));
    return dir ? CreateInPlaceOf(*dir, BaseName(path)) : nullptr;
}

CResult MoveFileNoReplace(CFileSystem& fs, const std::string& from, const std::string& to) {
    CResult r = fs.RenameNoReplace(from, to);
    if (r || r.Error() != EXDEV) return r;
    auto in = fs.OpenRead(from);
    if (!in) return CResult::FromErrno();
    auto out = fs.OpenNew(to);
    if (!out) return CResult::FromErrno();
    char buf[65536];
    for (;;) {
        long long n = in->Read(buf, sizeof buf);
        if (n < 0 || (n > 0 && !out->Write(buf, static_cast<size_t>(n)))) {
            r = CResult::FromErrno();
            out.reset();
            fs.Remove(to);
            return r;
        }
        if (n == 0) break;
    }
    if (!out->Close()) {
        r = CResult::FromErrno();
        fs.Remove(to);
        return r;
    }
    return fs.Remove(from);
}

CResult ReadWholeFile(CFileSystem& fs, const std::string& path, std::string& out) {
    out.clear();
    auto f = fs.OpenRead(path);
    if (!f) return CResult::FromErrno();
    // Reports run to megabytes: growing the string block by block would copy it many times.
    long long length = f->Length();
    if (length > 0) out.reserve(static_cast<size_t>(length));
    char buf[65536];
    for (;;) {
        long long n = f->Read(buf, sizeof buf);
        if (n < 0) return CResult::FromErrno();
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return CResult::Ok();
}

std::string TempDirectory() {
    for (const char* var : {"TMP", "TMPDIR"}) {
        const char* v = std::getenv(var);
        struct stat s;
        if (v && *v && ::stat(v, &s) == 0 && S_ISDIR(s.st_mode)) {
            std::string dir(v);
            while (dir.size() > 1 && dir.back() == '/')
                dir.pop_back();
            return dir;
        }
    }
    return "/tmp";
}

bool MakeDirectories(const std::string& dir) {
    struct stat s;
    if (dir.empty()) return false;
    if (::stat(dir.c_str(), &s) == 0) return S_ISDIR(s.st_mode);
    std::string parent = DirName(dir);
    if (!parent.empty() && parent != dir && !MakeDirectories(parent)) return false;
    return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

bool MakeNewDirectory(const std::string& dir) {
    return ::mkdir(dir.c_str(), 0700) == 0;
}

bool RemoveEmptyDirectory(const std::string& dir) {
    return ::rmdir(dir.c_str()) == 0;
}

std::string CanonicalPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::string();
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::string UserDirectory(const char* var, const char* underHome) {
    if (const char* x = std::getenv(var); x && *x && x[0] == '/') return x;
    if (const char* h = std::getenv("HOME"); h && *h) return JoinPath(h, underHome);
    return "/tmp";
}

std::string ProfilePath() {
    if (const char* p = std::getenv("TESSARY_PROFILE"); p && *p) return p;
    return UserDirectory("XDG_CONFIG_HOME", ".config") + "/tessary/tessary.ini";
}

}  // namespace ts
