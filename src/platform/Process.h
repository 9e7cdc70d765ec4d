// What the program needs to know about other processes.
#pragma once

namespace ts {

// True when no process with this id exists any more (on this machine).
bool ProcessEnded(int pid);

}  // namespace ts
