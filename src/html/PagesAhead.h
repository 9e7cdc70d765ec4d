// A pass's work on pages done on other threads ahead of the walk that needs it. A walk passes
// pages in the order of their links, one at a time, but the work on one page (reading and
// parsing it, working out its report lines) needs nothing of the pages around it. Other threads
// do the site's pages in tree order meanwhile, and the walk takes each page's result when it
// gets there, or does the page itself when no thread has reached it yet, so every report line
// comes out in the walk's order exactly as a walk on one thread writes it.
#pragma once

#include <cstddef>
#include <memory>

namespace ts {

class CDirNode;
class CHtmlNode;
struct CPageOutput;

// What the work on a page gave: the pass's result, and whether the walk has a last step to do.
struct CPageDone {
    int result = 0;
    bool finish = false;
};

// The work of one pass on one page. Run may be called on any thread: it reads the tree,
// changes nothing but the page's own link state, and writes its report lines and findings
// only to the output it is given.
class CPageJob {
public:
    virtual ~CPageJob() = default;
    virtual CPageDone Run(CHtmlNode& page, const CPageOutput& out) = 0;
    // In the walk's thread, once the page's lines are written.
    virtual void Taken(CHtmlNode&, const CPageDone&) {}
    // True when Run reads the page's links in: on another thread it starts from a page that
    // holds none, and a page done ahead that the walk never takes gets back the link state it
    // had.
    virtual bool ReadsLinks() const { return false; }
};

class CPagesAhead {
public:
    // Starts the threads for the pages and style sheets below top. Without a second
    // processor, or with a file system that cannot be read from several threads, it starts
    // none and Take does the work.
    CPagesAhead(CDirNode& top, CPageJob& job);
    // Stops the threads; undoes what they did to pages the walk never took, whose lines and
    // findings go unwritten.
    ~CPagesAhead();
    CPagesAhead(const CPagesAhead&) = delete;
    CPagesAhead& operator=(const CPagesAhead&) = delete;

    // The job's result for the page, in the walk's thread, its lines written to the run's
    // status and error reports and its findings added to the run's.
    int Take(CHtmlNode& page);

    // The number of threads it started.
    int Threads() const;

    // The report bytes (lines and findings) the threads may hold for pages the walk has not
    // taken, together (8 MiB); past it they wait for the walk.
    static void SetHeldBudget(size_t bytes);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace ts
