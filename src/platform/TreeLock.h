// Keeps two processes from working on one tree, or on trees inside each other, at once: each
// run and undo registers the directory it works on for as long as it works, and another one
// refuses to start while a live process works on that directory, on one above it or on one
// below it. A process that ended (even by SIGKILL) holds nothing: its lock went with it.
#pragma once

#include <memory>
#include <string>

namespace ts {

// Another process's work that stands in the way.
struct TreeHolder {
    std::string dir;
    int pid = 0;
};

class CTreeLock {
public:
    ~CTreeLock();
    CTreeLock(const CTreeLock&) = delete;
    CTreeLock& operator=(const CTreeLock&) = delete;

    // Registers this process as working on dir (its real path) in the folder registry. Null
    // with holder set when another live process works on dir, above or below it; null with
    // holder.pid 0 and errno set when the registry cannot be used.
    static std::unique_ptr<CTreeLock> Take(const std::string& registry, const std::string& dir,
                                           TreeHolder& holder);

private:
    CTreeLock(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd;
    std::string m_path;
};

// Whether one of the two directories (real paths) holds the other, or they are one.
bool Nested(const std::string& a, const std::string& b);

// Where runs register: $XDG_STATE_HOME/tessary/active, else ~/.local/state/tessary/active.
std::string TreeLockRegistry();

}  // namespace ts
