// The four most recently opened or saved reports, most recent first, kept in the profile's
// section "Recent File List" as "File1" to "File4".
#pragma once

#include <string>
#include <vector>

namespace ts {

class CProfile;

class CRecentFileList {
public:
    static constexpr int kSize = 4;

    void Load(const CProfile& profile);
    void Save(CProfile& profile) const;

    // Puts a path first, removing it further down and dropping the oldest beyond four.
    void Add(const std::string& path);
    void Remove(size_t index);
    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};

}  // namespace ts
