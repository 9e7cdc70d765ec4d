#include "site/DirHandles.h"

#include <cerrno>

#include "site/DirNode.h"

namespace ts {

namespace {

// Passes work directory by directory, so a few handles serve them; a huge tree must not run
// the process out of descriptors.
constexpr size_t kMaxOpen = 256;

}  // namespace

CDir* CDirHandles::Of(const CDirNode& dir) {
    if (m_open.size() >= kMaxOpen) m_open.clear();
    return Open(dir);
}

CDir* CDirHandles::Open(const CDirNode& dir) {
    auto it = m_open.find(&dir);
    if (it != m_open.end()) return it->second.get();
    std::unique_ptr<CDir> handle;
    if (dir.m_pParent) {
        CDir* parent = Open(*dir.m_pParent);
        if (!parent) return nullptr;
        handle = parent->OpenDir(dir.Name());
    } else {
        // The top may be reached through a link the user named; its identity is what counts.
        handle = m_fs.OpenDir(dir.m_strPath);
    }
    if (!handle) return nullptr;
    if (!(handle->Id() == dir.m_id)) {
        errno = ESTALE;
        return nullptr;
    }
    CDir* result = handle.get();
    m_open.emplace(&dir, std::move(handle));
    return result;
}

}  // namespace ts
