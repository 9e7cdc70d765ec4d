// The site map: every entry below the top directory by its upper-cased full path as scanned,
// so that a link written in any case finds its file. The top directory owns it.
#pragma once

#include <string>
#include <unordered_map>

namespace ts {

class CDirNode;
class CFileNode;

class CSiteMap {
public:
    explicit CSiteMap(const CDirNode& top) : m_top(top) {}

    // The map is made from the tree at the first look-up (a run that follows no links never
    // needs it, and on large trees it is a sixth of a scan), so it must be made before
    // anything replaces the original paths: undo does that first. Renames never change the
    // keys.
    const std::unordered_map<std::string, CFileNode*>& Map();
    // Looks up a full path (any case).
    CFileNode* Lookup(const std::string& path);
    // The tree changed: the map is made again when next needed.
    void Forget();

private:
    const CDirNode& m_top;
    std::unordered_map<std::string, CFileNode*> m_map;
    bool m_bMade = false;
};

// The site map of the tree a node belongs to.
CSiteMap& SiteMapOf(const CFileNode& node);

}  // namespace ts
