#include "ui/RecentFileList.h"

#include <algorithm>

#include "base/Profile.h"
#include "base/ReportStream.h"

namespace ts {
namespace {

const char* const kSection = "Recent File List";

std::string EntryName(int i) {
    return Format("File%d", i + 1);
}

}  // namespace

void CRecentFileList::Load(const CProfile& p) {
    m_entries.clear();
    for (int i = 0; i < kSize; ++i) {
        std::string path = p.GetString(kSection, EntryName(i));
        if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(path);
    }
}

void CRecentFileList::Save(CProfile& p) const {
    for (int i = 0; i < kSize; ++i) {
        std::string name = EntryName(i);
        if (static_cast<size_t>(i) < m_entries.size())
            p.SetString(kSection, name, m_entries[i]);
        else if (p.Has(kSection, name))
            p.SetString(kSection, name, std::string());
    }
}

void CRecentFileList::Add(const std::string& path) {
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kSize) m_entries.resize(kSize);
}

void CRecentFileList::Remove(size_t index) {
    if (index < m_entries.size()) m_entries.erase(m_entries.begin() + index);
}

}  // namespace ts
