#include "platform/TreeLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace ts {
namespace {

// Holds the registry's lock for the time it is looked through and added to, so that two
// processes starting at once cannot both miss each other.
class CRegistryLock {
public:
    explicit CRegistryLock(const std::string& registry)
        : m_fd(::open(JoinPath(registry, "lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                      0600)) {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CRegistryLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd;
};

std::string ReadAll(int fd) {
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    return text;
}

// The directory the registered process works on, or empty when that process holds nothing
// any more (its entry is then removed).
std::string LiveEntry(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::string();
    std::string dir;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::unlink(path.c_str());
    } else {
        dir = ReadAll(fd);
    }
    ::close(fd);
    return dir;
}

}  // namespace

bool Nested(const std::string& a, const std::string& b) {
    auto within = [](const std::string& inner, const std::string& outer) {
        return inner == outer || outer == "/" ||
               (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                inner[outer.size()] == '/');
    };
    return within(a, b) || within(b, a);
}

std::string TreeLockRegistry() {
    return UserDirectory("XDG_STATE_HOME", ".local/state") + "/tessary/active";
}

std::unique_ptr<CTreeLock> CTreeLock::Take(const std::string& registry, const std::string& dir,
                                           TreeHolder& holder) {
    holder = TreeHolder();
    if (!MakeDirectories(registry)) return nullptr;
    CRegistryLock lock(registry);
    if (!lock.Held()) return nullptr;
    std::vector<std::string> names;
    if (!RealFileSystem().ListDir(registry, names)) return nullptr;
    const std::string mine = std::to_string(::getpid());
    for (const std::string& name : names) {
        if (name == "lock" || name == mine) continue;
        const std::string other = LiveEntry(JoinPath(registry, name));
        if (!other.empty() && Nested(other, dir)) {
            holder = {other, std::atoi(name.c_str())};
            return nullptr;
        }
    }
    const std::string path = JoinPath(registry, mine);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::write(fd, dir.data(), dir.size()) != static_cast<ssize_t>(dir.size())) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = err;
        return nullptr;
    }
    return std::unique_ptr<CTreeLock>(new CTreeLock(fd, path));
}

CTreeLock::~CTreeLock() {
    ::unlink(m_path.c_str());
    ::close(m_fd);
}

}  // namespace ts
