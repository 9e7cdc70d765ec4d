// Finds the directories of a tree by identity, for undo: a record names its directory by the
// path it had when the change was made, which may no longer lead there (a rename above it
// failed, or the user made one). Every directory is opened below the top without following
// links, and only when it is the object the record names.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace ts {

// Opens the directory rel below top without following links; null unless it is the object id.
std::unique_ptr<CDir> OpenBelow(CDir& top, const std::string& rel, FileId id);

class CDirFinder {
public:
    CDirFinder(CFileSystem& fs, CDir& top, std::string topPath)
        : m_fs(fs), m_top(top), m_topPath(std::move(topPath)) {}

    // The directory rel, or wherever the directory id is now; null when it is nowhere.
    std::unique_ptr<CDir> Open(const std::string& rel, FileId id);
    // Undo renamed something: the paths found may be out of date.
    void Moved() { m_stale = true; }
    // Calls fn with the path and a handle of every directory of the tree, the top first.
    template <class Fn>
    void ForEachDir(Fn fn) {
        Refresh();
        if (std::unique_ptr<CDir> top = m_top.OpenDir(".")) fn(m_topPath, *top);
        for (const auto& [id, rel] : m_dirs)
            if (std::unique_ptr<CDir> dir = OpenBelow(m_top, rel, id))
                fn(JoinPath(m_topPath, rel), *dir);
    }

private:
    // The tree is looked through again only when it may have changed since the last look.
    void Refresh();
    void Collect(const std::string& rel);

    CFileSystem& m_fs;
    CDir& m_top;
    std::string m_topPath;
    std::map<FileId, std::string> m_dirs;
    bool m_stale = true;
};

}  // namespace ts
