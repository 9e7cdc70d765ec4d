#include "base/Exclusions.h"

#include <fnmatch.h>

namespace ts {

CExclusions::CExclusions(const std::string& top, std::vector<std::string> patterns)
    : m_top(top), m_patterns(std::move(patterns)) {
    if (!m_top.empty() && m_top.back() != '/') m_top += '/';
}

bool CExclusions::Matches(const std::string& path, bool isDirectory) const {
    if (m_patterns.empty() || path.compare(0, m_top.size(), m_top) != 0) return false;
    const std::string relative = path.substr(m_top.size());
    const std::string name = relative.substr(relative.rfind('/') + 1);
    for (std::string pattern : m_patterns) {
        if (pattern.empty()) continue;
        if (pattern.back() == '/') {
            if (!isDirectory) continue;
            pattern.pop_back();
        }
        if (pattern.front() == '/') pattern.erase(0, 1);
        const bool whole = pattern.find('/') != std::string::npos;
        if (fnmatch(pattern.c_str(), whole ? relative.c_str() : name.c_str(),
                    whole ? FNM_PATHNAME : 0) == 0)
            return true;
    }
    return false;
}

}  // namespace ts
