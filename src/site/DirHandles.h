// The open directories through which the writer changes the tree. Each is opened from its
// parent's handle without following a link, down from the top directory, and is used only when
// it is the directory the scan saw (the same device and inode): a directory moved away or
// replaced by a link since the scan is never written in, nor anything below it.
#pragma once

#include <memory>
#include <unordered_map>

#include "platform/FileSystem.h"

namespace ts {

class CDirNode;

class CDirHandles {
public:
    explicit CDirHandles(CFileSystem& fs) : m_fs(fs) {}
    CDirHandles(const CDirHandles&) = delete;
    CDirHandles& operator=(const CDirHandles&) = delete;

    // The open directory of dir, valid until the next call; null with errno set on failure,
    // ESTALE when a directory on the way is not the one scanned.
    CDir* Of(const CDirNode& dir);

private:
    CDir* Open(const CDirNode& dir);

    CFileSystem& m_fs;
    std::unordered_map<const CDirNode*, std::unique_ptr<CDir>> m_open;
};

}  // namespace ts
