#include "site/DirFinder.h"

#include <vector>

namespace ts {

std::unique_ptr<CDir> OpenBelow(CDir& top, const std::string& rel, FileId id) {
    std::unique_ptr<CDir> dir = top.OpenDir(".");
    for (size_t start = 0; dir && start < rel.size();) {
        size_t slash = rel.find('/', start);
        if (slash == std::string::npos) slash = rel.size();
        dir = dir->OpenDir(rel.substr(start, slash - start));
        start = slash + 1;
    }
    return dir && dir->Id() == id ? std::move(dir) : nullptr;
}

std::unique_ptr<CDir> CDirFinder::Open(const std::string& rel, FileId id) {
    if (std::unique_ptr<CDir> dir = OpenBelow(m_top, rel, id)) return dir;
    Refresh();
    auto found = m_dirs.find(id);
    return found == m_dirs.end() ? nullptr : OpenBelow(m_top, found->second, id);
}

void CDirFinder::Refresh() {
    if (!m_stale) return;
    m_dirs.clear();
    Collect("");
    m_stale = false;
}

void CDirFinder::Collect(const std::string& rel) {
    std::vector<std::string> names;
    const std::string path = rel.empty() ? m_topPath : JoinPath(m_topPath, rel);
    if (!m_fs.ListDir(path, names)) return;
    for (const std::string& name : names) {
        FileStat st;
        const std::string child = rel.empty() ? name : rel + "/" + name;
        if (!m_fs.Stat(JoinPath(m_topPath, child), st) || st.isLink ||
            st.kind != EntryKind::Directory)
            continue;
        m_dirs.emplace(st.id, child);
        Collect(child);
    }
}

}  // namespace ts
