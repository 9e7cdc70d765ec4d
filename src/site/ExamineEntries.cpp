#include "site/ExamineEntries.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "platform/Threads.h"
#include "site/Examine.h"

namespace ts {
namespace {

// Below this many entries a thread costs more than it saves.
constexpr size_t kThreadedFrom = 48;

void ExamineOne(CRunContext& ctx, const std::string& path, CExamined& out) {
    if (path.empty()) return;
    CHeldReport errors;
    out.info = Examine(ctx, path, false, errors.Stream());
    out.errors = errors.Take();
}

}  // namespace

std::vector<CExamined> ExamineEntries(CRunContext& ctx, const std::vector<std::string>& paths) {
    std::vector<CExamined> out(paths.size());
    std::atomic<size_t> next{0};
    // A failure (a lack of memory) on a thread stops the others and is met here, as on one
    // thread; nothing may escape a thread.
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto work = [&]() noexcept {
        try {
            for (size_t i = next.fetch_add(1); i < paths.size(); i = next.fetch_add(1))
                ExamineOne(ctx, paths[i], out[i]);
        } catch (...) {
            next = paths.size();
            std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    if (paths.size() >= kThreadedFrom && ctx.fs.ConcurrentReads()) StartHelpers(threads, work);
    work();
    for (std::thread& t : threads)
        t.join();
    if (failure) std::rethrow_exception(failure);
    return out;
}

}  // namespace ts
