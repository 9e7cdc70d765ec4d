#include "html/PagesAhead.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/Findings.h"
#include "base/PageOutput.h"
#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/HtmlNode.h"
#include "platform/Threads.h"
#include "site/DirNode.h"
#include "site/SiteMap.h"

namespace ts {
namespace {

// Who has a page: nobody yet, a thread working on it, work done waiting for the walk, the walk.
enum Phase : int { kFree, kBusy, kDone, kTaken };

// What the work ahead on a page gave: its result, its report bytes (line ends as in report
// files) and the findings that go with them, and for a job that reads links in the page's link
// state before, given back when the walk never takes the page. Made only for a page a thread
// did; nothing of it reaches the run before the walk takes the page.
struct CHeld {
    CPageDone done;
    std::string status;
    std::string errors;
    // Only when the run keeps findings.
    std::unique_ptr<CFindings> findings;
    std::exception_ptr failure;
    std::optional<CPageLinks> before;

    size_t Bytes() const {
        return status.size() + errors.size() + (findings ? findings->Bytes() : 0);
    }
    void RestoreState(CHtmlNode& page) {
        if (before) page.RestoreLinks(std::move(*before));
        before.reset();
    }
};

struct CSlot {
    CHtmlNode* page = nullptr;
    std::atomic<int> phase{kFree};
    std::unique_ptr<CHeld> held;
};

// Runs the job on the slot's page with the page's lines held in the slot.
// Nothing may escape a thread: a failure (a lack of memory) is kept for the walk, which meets
// it where one thread would. Without even the room to keep it, the walk does the page itself.
void RunAhead(CPageJob& job, CSlot& slot) noexcept {
    try {
        slot.held = std::make_unique<CHeld>();
    } catch (...) {
        return;
    }
    CHeld& held = *slot.held;
    CHtmlNode& page = *slot.page;
    try {
        if (job.ReadsLinks()) held.before = page.TakeLinks();
        if (page.Ctx().findings) held.findings = std::make_unique<CFindings>();
        CHeldReport status, errors;
        held.done = job.Run(page, {status.Stream(), errors.Stream(), held.findings.get()});
        held.status = status.Take();
        held.errors = errors.Take();
    } catch (...) {
        held.failure = std::current_exception();
    }
}

// The job in the walk's thread, writing straight to the run's reports.
int RunHere(CPageJob& job, CHtmlNode& page) {
    const CPageDone done = job.Run(page, CPageOutput::Of(page.Ctx()));
    job.Taken(page, done);
    return done.result;
}

// The report bytes the threads may hold for pages the walk has not taken yet. The threads go
// in tree order and the walk in its own, so without a bound they could hold a pass's whole
// report.
std::atomic<size_t> g_heldBudget{size_t{8} << 20};

}  // namespace

struct CPagesAhead::State {
    explicit State(CPageJob& j) : job(j) {}

    CPageJob& job;
    std::unique_ptr<CSlot[]> slots;
    size_t count = 0;
    std::unordered_map<const CHtmlNode*, size_t> index;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    std::atomic<size_t> heldBytes{0};

    void Work() {
        while (!stop.load(std::memory_order_relaxed)) {
            // Over the budget the walk does the pages it reaches itself until it has taken
            // enough of the held ones.
            if (heldBytes.load(std::memory_order_relaxed) > g_heldBudget.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const size_t i = next.fetch_add(1);
            if (i >= count) return;
            CSlot& slot = slots[i];
            int phase = kFree;
            if (!slot.phase.compare_exchange_strong(phase, kBusy)) continue;
            RunAhead(job, slot);
            if (slot.held) heldBytes.fetch_add(slot.held->Bytes());
            slot.phase.store(kDone, std::memory_order_release);
            slot.phase.notify_all();
        }
    }
};

CPagesAhead::CPagesAhead(CDirNode& top, CPageJob& job) : m_state(std::make_unique<State>(job)) {
    if (HelperThreads() == 0 || !top.Ctx().fs.ConcurrentReads()) return;
    std::vector<CHtmlNode*> pages;
    CTreeIterator it(&top);
    while (CFileNode* node = it.Next())
        if (node->IsHtmlNode() && static_cast<CHtmlNode*>(node)->HasLinks())
            pages.push_back(static_cast<CHtmlNode*>(node));
    if (pages.size() < 2) return;
    State& s = *m_state;
    s.count = pages.size();
    s.slots = std::make_unique<CSlot[]>(s.count);
    for (size_t i = 0; i < s.count; ++i) {
        s.slots[i].page = pages[i];
        s.index.emplace(pages[i], i);
    }
    // Made now: the threads only look things up in it.
    top.SiteMap().Map();
    // The walk does the pages no thread has reached.
    StartHelpers(s.threads, [&s] { s.Work(); });
}

CPagesAhead::~CPagesAhead() {
    State& s = *m_state;
    s.stop = true;
    for (std::thread& t : s.threads)
        t.join();
    for (size_t i = 0; i < s.count; ++i)
        if (s.slots[i].phase.load() == kDone && s.slots[i].held)
            s.slots[i].held->RestoreState(*s.slots[i].page);
}

int CPagesAhead::Take(CHtmlNode& page) {
    State& s = *m_state;
    auto it = s.index.find(&page);
    if (it == s.index.end()) return RunHere(s.job, page);
    CSlot& slot = s.slots[it->second];
    int phase = kFree;
    // Not reached by a thread yet, or passed before: the walk does it itself.
    if (slot.phase.compare_exchange_strong(phase, kTaken) || phase == kTaken)
        return RunHere(s.job, page);
    while ((phase = slot.phase.load(std::memory_order_acquire)) == kBusy)
        slot.phase.wait(kBusy);
    slot.phase.store(kTaken);
    std::unique_ptr<CHeld> held = std::move(slot.held);
    if (!held) return RunHere(s.job, page);
    s.heldBytes.fetch_sub(held->Bytes());
    if (held->failure) {
        held->RestoreState(page);
        std::rethrow_exception(held->failure);
    }
    CRunContext& ctx = page.Ctx();
    ctx.statusReport.WriteRaw(held->status);
    ctx.errorReport.WriteRaw(held->errors);
    if (held->findings && ctx.findings) held->findings->MoveTo(*ctx.findings);
    s.job.Taken(page, held->done);
    return held->done.result;
}

void CPagesAhead::SetHeldBudget(size_t bytes) {
    g_heldBudget = bytes;
}

int CPagesAhead::Threads() const {
    return static_cast<int>(m_state->threads.size());
}

}  // namespace ts
