#include "site/ExamineEntries.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "site/Examine.h"

namespace ts {
namespace {

// Below this many entries a thread costs more than it saves.
constexpr size_t kThreadedFrom = 48;
constexpr unsigned kMaxThreads = 3;

void ExamineOne(CRunContext& ctx, const std::string& path, CExamined& out) {
    if (path.empty()) return;
    CHeldReport errors;
    out.info = Examine(ctx, path, false, errors.Stream());
    out.errors = errors.Take();
}

}  // namespace

std::vector<CExamined> ExamineEntries(CRunContext& ctx, const std::vector<std::string>& paths) {
    std::vector<CExamined> out(paths.size());
    const unsigned cores = std::thread::hardware_concurrency();
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next.fetch_add(1); i < paths.size(); i = next.fetch_add(1))
            ExamineOne(ctx, paths[i], out[i]);
    };
    std::vector<std::thread> threads;
    if (paths.size() >= kThreadedFrom && cores > 1 && ctx.fs.ConcurrentReads()) {
        try {
            for (unsigned i = 0; i < std::min(cores - 1, kMaxThreads); ++i)
                threads.emplace_back(work);
        } catch (const std::system_error&) {
            // Fewer threads: this one does the rest.
        }
    }
    // An exception (a lack of memory) in a thread would end the process: threads only take
    // entries while this one has not failed.
    try {
        work();
    } catch (...) {
        next = paths.size();
        for (std::thread& t : threads)
            t.join();
        throw;
    }
    for (std::thread& t : threads)
        t.join();
    return out;
}

}  // namespace ts
