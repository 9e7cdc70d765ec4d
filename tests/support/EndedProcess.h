// The id of a process that has ended, for tests of what the program does with the leftovers of
// a run whose process no longer exists.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace ts::test {

inline int EndedPid() {
    const pid_t pid = ::fork();
    if (pid == 0) std::_Exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return static_cast<int>(pid);
}

}  // namespace ts::test
