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
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {
namespace {

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

// The extended attributes of from, copied to to one by one. One that to does not take fails
// the copy: a file that would lose its access control list is better left as it was.
CResult CopyAttributes(const std::string& from, const std::string& to) {
    ssize_t n = ::llistxattr(from.c_str(), nullptr, 0);
    if (n < 0) return errno == ENOTSUP ? CResult::Ok() : CResult::FromErrno();
    std::vector<char> names(static_cast<size_t>(n) + 1, '\0');
    n = ::llistxattr(from.c_str(), names.data(), names.size() - 1);
    if (n < 0) return CResult::FromErrno();
    std::vector<char> value;
    for (size_t i = 0; i < static_cast<size_t>(n); i += std::strlen(names.data() + i) + 1) {
        const char* name = names.data() + i;
        ssize_t v = ::lgetxattr(from.c_str(), name, nullptr, 0);
        if (v >= 0) {
            value.resize(static_cast<size_t>(v));
            v = ::lgetxattr(from.c_str(), name, value.data(), value.size());
        }
        if (v < 0 || ::lsetxattr(to.c_str(), name, value.data(), static_cast<size_t>(v), 0) != 0)
            return CResult::FromErrno();
    }
    return CResult::Ok();
}

class CPosixFileSystem : public CFileSystem {
public:
    CResult Stat(const std::string& path, FileStat& st) override {
        st = FileStat();
        const char* name = nullptr;
        int dir = OpenDirOf(path, name);
        struct stat ls;
        if (::fstatat(dir, name, &ls, AT_SYMLINK_NOFOLLOW) != 0) return CResult::FromErrno();
        struct stat s = ls;
        if (S_ISLNK(ls.st_mode)) {
            st.isLink = true;
            if (::fstatat(dir, name, &s, 0) != 0) {
                st.kind = EntryKind::Special;  // a link to nothing
                return CResult::Ok();
            }
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
        st.uid = s.st_uid;
        st.gid = s.st_gid;
        st.links = static_cast<uint64_t>(s.st_nlink);
        st.sparse = static_cast<uint64_t>(s.st_blocks) * 512 < st.size;
        st.readOnly = (s.st_mode & S_IWUSR) == 0 || IsReadOnlyMount(path, s.st_dev);
        return CResult::Ok();
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
        int fd = ::openat(dir, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat s;
        if (::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
            ::close(fd);
            errno = EINVAL;
            return nullptr;
        }
        // O_NONBLOCK kept a FIFO from blocking the open. It has no effect on reading a regular
        // file, so it stays set rather than costing a system call per file to clear.
        return std::make_unique<CPosixFile>(fd, static_cast<long long>(s.st_size));
    }

    std::unique_ptr<CFile> OpenWrite(const std::string& path) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        return std::make_unique<CPosixFile>(fd);
    }

    std::unique_ptr<CFile> OpenNew(const std::string& path) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        return std::make_unique<CPosixFile>(fd);
    }

    std::unique_ptr<CFile> OpenAppend(const std::string& path) override {
        int fd = ::open(path.c_str(),
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

    std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                      std::string& path) override {
        std::string pattern = (dir == "/" ? std::string() : dir) + "/" + prefix + "XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        int fd = ::mkostemp(buf.data(), O_CLOEXEC);
        if (fd < 0) return nullptr;
        path.assign(buf.data());
        return std::make_unique<CPosixFile>(fd);
    }

    CResult RenameNoReplace(const std::string& from, const std::string& to) override {
        CResult r = RawRenameNoReplace(from, to);
        if (r || r.Error() != EEXIST) return r;
        // A change of case alone on a case-insensitive file system: both names are one entry.
        struct stat a, b;
        if (::lstat(from.c_str(), &a) != 0 || ::lstat(to.c_str(), &b) != 0 ||
            a.st_dev != b.st_dev || a.st_ino != b.st_ino || BaseName(from) == BaseName(to))
            return CResult::Fail(EEXIST);
        std::string mid = DirName(to) + "/.ts_case_" + std::to_string(::getpid());
        for (int i = 0; i < 1000; ++i) {
            std::string candidate = mid + "_" + std::to_string(i);
            r = RawRenameNoReplace(from, candidate);
            if (r) {
                r = RawRenameNoReplace(candidate, to);
                if (!r) RawRenameNoReplace(candidate, from);
                return r;
            }
            if (r.Error() != EEXIST) return r;
        }
        return r;
    }

    CResult ReplaceFile(const std::string& from, const std::string& to) override {
        return Check(::rename(from.c_str(), to.c_str()));
    }

    CResult Remove(const std::string& path) override { return Check(::unlink(path.c_str())); }

    CResult SetMode(const std::string& path, unsigned mode) override {
        return Check(::chmod(path.c_str(), static_cast<mode_t>(mode)));
    }

    CResult KeepMetadata(const std::string& from, const std::string& to) override {
        struct stat s, t;
        // A file made for the first time (a new profile) has nothing to keep.
        if (::lstat(from.c_str(), &s) != 0)
            return errno == ENOENT ? CResult::Ok() : CResult::FromErrno();
        if (::lstat(to.c_str(), &t) != 0) return CResult::FromErrno();
        if ((s.st_uid != t.st_uid || s.st_gid != t.st_gid) &&
            ::lchown(to.c_str(), s.st_uid, s.st_gid) != 0)
            return CResult::FromErrno();
        return CopyAttributes(from, to);
    }

    CResult ReadLink(const std::string& path, std::string& text) override {
        text.clear();
        std::vector<char> buf(256);
        for (;;) {
            ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
            if (n < 0) return CResult::FromErrno();
            // A text that fills the buffer may have been cut: try again with more room.
            if (static_cast<size_t>(n) < buf.size()) {
                text.assign(buf.data(), static_cast<size_t>(n));
                return CResult::Ok();
            }
            buf.resize(buf.size() * 2);
        }
    }

    CResult ReplaceLink(const std::string& path, const std::string& text) override {
        struct stat s;
        if (::lstat(path.c_str(), &s) != 0) return CResult::FromErrno();
        if (!S_ISLNK(s.st_mode)) return CResult::Fail(EINVAL);
        std::string dir = DirName(path);
        int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd < 0) return CResult::FromErrno();
        std::string temp;
        CResult r = MakeTempLink(dfd, text, temp);
        // The rename replaces the old link in one step; renameat never follows it.
        if (r && ::renameat(dfd, temp.c_str(), dfd, BaseName(path).c_str()) != 0) {
            r = CResult::FromErrno();
            ::unlinkat(dfd, temp.c_str(), 0);
        }
        ::close(dfd);
        return r;
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

private:
    // The result of a system call that returns 0 on success.
    static CResult Check(int rc) { return rc == 0 ? CResult::Ok() : CResult::FromErrno(); }

    CResult RawRenameNoReplace(const std::string& from, const std::string& to) {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return CResult::Ok();
        if (errno != EINVAL && errno != ENOSYS) return CResult::FromErrno();
        // The file system cannot rename exclusively: a hard link refuses an existing name.
        struct stat s;
        if (::lstat(from.c_str(), &s) != 0) return CResult::FromErrno();
        if (!S_ISDIR(s.st_mode)) {
            if (::link(from.c_str(), to.c_str()) != 0) return CResult::FromErrno();
            if (::unlink(from.c_str()) != 0) {
                CResult r = CResult::FromErrno();
                ::unlink(to.c_str());
                return r;
            }
            return CResult::Ok();
        }
        if (::lstat(to.c_str(), &s) == 0) return CResult::Fail(EEXIST);
        return Check(::rename(from.c_str(), to.c_str()));
    }

    // A new link in the directory under a name of our own; symlinkat never replaces anything,
    // so a name taken meanwhile only means trying the next one.
    static CResult MakeTempLink(int dfd, const std::string& text, std::string& name) {
        static std::atomic<unsigned> counter{0};
        for (int i = 0; i < 1000; ++i) {
            name = ".ts_link_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
            if (::symlinkat(text.c_str(), dfd, name.c_str()) == 0) return CResult::Ok();
            if (errno != EEXIST) return CResult::FromErrno();
        }
        return CResult::Fail(EEXIST);
    }

    bool IsReadOnlyMount(const std::string& path, dev_t dev) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_readOnlyDevices.find(dev);
        if (it != m_readOnlyDevices.end()) return it->second;
        struct statvfs vfs;
        bool ro = ::statvfs(path.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
        m_readOnlyDevices[dev] = ro;
        return ro;
    }

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

}  // namespace

CFileSystem& RealFileSystem() {
    static CPosixFileSystem fs;
    return fs;
}

std::unique_ptr<CFile> CreateInPlaceOf(CFileSystem& fs, const std::string& path) {
    std::unique_ptr<CFile> file = fs.OpenNew(path);
    if (file || errno != EEXIST) return file;
    if (!fs.Remove(path)) return nullptr;
    return fs.OpenNew(path);
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

std::string ProfilePath() {
    if (const char* p = std::getenv("TESSARY_PROFILE"); p && *p) return p;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x && x[0] == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.config";
    } else {
        base = "/tmp";
    }
    return base + "/tessary/tessary.ini";
}

}  // namespace ts
