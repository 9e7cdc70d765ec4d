#include "platform/Process.h"

#include <signal.h>

#include <cerrno>

namespace ts {

bool ProcessEnded(int pid) {
    // Signal 0 only asks: EPERM means a process of another user has the id.
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace ts
