// Pages read and parsed on other threads ahead of the walk that needs them. The walk of
// "Checking URL Links" passes pages in the order of their links, one at a time; most of its
// time is reading and parsing, which for one page needs nothing of the others. Other threads
// parse the site's pages in tree order meanwhile, and the walk takes each page's result when it
// gets there (or parses the page itself when no thread has reached it), so every report line
// comes out in the walk's order exactly as a walk on one thread writes it.
#pragma once

#include <memory>

namespace ts {

class CDirNode;
class CHtmlNode;

class CReadAhead {
public:
    // Starts the threads for the pages below top. Without a second processor, or with a file
    // system that cannot be read from several threads, it starts none and Parse parses.
    explicit CReadAhead(CDirNode& top);
    // Stops the threads. Pages parsed ahead that the walk never took get back the state they
    // had, as if never read.
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // ParseLinks(page) for the walk, in the walk's thread.
    int Parse(CHtmlNode& page);

    // The number of threads it started.
    int Threads() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace ts
