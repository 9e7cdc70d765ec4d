// The entries a run leaves alone (--exclude): shell patterns matched against paths relative to
// the run's directory. An excluded entry stays in the tree, so that links to it resolve, but it
// is neither renamed nor converted, its links are not read, and it is never reported unused;
// everything below an excluded directory is excluded with it.
#pragma once

#include <string>
#include <vector>

namespace ts {

class CExclusions {
public:
    CExclusions() = default;
    // top: the run's directory; patterns as typed. A pattern without "/" is matched against
    // an entry's name at any depth ("*.bak", "node_modules"); one with "/" against the whole
    // relative path, "*" not crossing a "/" ("drafts/*.html"; a leading "/" is allowed). A
    // pattern ending in "/" matches directories only.
    CExclusions(const std::string& top, std::vector<std::string> patterns);

    bool Empty() const { return m_patterns.empty(); }
    // Whether the entry at path (full) is excluded by its own name or path; its directories
    // are the caller's to check.
    bool Matches(const std::string& path, bool isDirectory) const;

private:
    std::string m_top;
    std::vector<std::string> m_patterns;
};

}  // namespace ts
