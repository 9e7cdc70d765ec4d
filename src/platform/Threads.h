// The threads that share work which reads files with the thread that asked for it.
#pragma once

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace ts {

// One fewer than the processors, at most three: more only wait, for the disk or for the one
// thread that takes the results in their order.
inline unsigned HelperThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores < 2 ? 0 : std::min(cores - 1, 3u);
}

// Starts HelperThreads() threads running work, fewer when the system refuses more; the caller
// does what they do not and joins them.
template <class Work>
void StartHelpers(std::vector<std::thread>& threads, Work work) {
    try {
        for (unsigned i = HelperThreads(); i > 0; --i)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads: the caller's own does the rest.
    }
}

}  // namespace ts
