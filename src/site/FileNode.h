// One entry of the site tree: a file, or the common part of a directory. Each node records
// the entry's path as scanned, its current path, the new name it is to get, its type, its
// line-end convention and its attributes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "site/EntryInfo.h"

namespace ts {

class CDirNode;
class CRunContext;

// Longest full path the program handles, in bytes.
inline constexpr size_t kMaxPath = 260;

class CFileNode {
public:
    // Makes the node of an examined entry (site/Examine.h); reads nothing.
    CFileNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent);
    virtual ~CFileNode();
    CFileNode(const CFileNode&) = delete;
    CFileNode& operator=(const CFileNode&) = delete;

    // The per-entry step of the name-check pass; true when the entry needs a new name.
    virtual bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel);
    // Makes strName unique among the directory's entries; 0 unchanged, 1 changed, -1 impossible.
    virtual int MakeUnique(CFileNode* pExclude, std::string& strName, char chSep, int nMaxLen);
    virtual bool IsDirNode() const { return false; }
    virtual bool IsHtmlNode() const { return false; }

    // "system", "temporary" or "hidden" for entries a scan skips.
    bool GetSpecialWords(std::string& out) const;
    // The full path of the entry when the node was made (PrepareUndo later replaces it). It is
    // kept apart only once it differs from m_strPath: most entries never move.
    const std::string& OrigPath() const {
        return m_strOrigPath.empty() ? m_strPath : m_strOrigPath;
    }
    void SetOrigPath(const std::string& path);
    // Moves the entry to a new current path; the original path stays as it was.
    void MovePath(const std::string& path);
    // The last component of m_strPath.
    std::string Name() const;
    std::string_view NameView() const;
    CRunContext& Ctx() const { return *m_pCtx; }

    CRunContext* m_pCtx = nullptr;
    CDirNode* m_pParent = nullptr;
    std::string m_strPath;
    std::string m_strNewName;
    FileType m_nType = FT_UNKNOWN;
    int m_nLineEnd = 0;
    int m_nOrigLineEnd = 0;
    std::unique_ptr<std::vector<uint64_t>> m_pLineEnds;
    uint32_t m_dwAttributes = 0;
    bool m_bExists = false;
    bool m_bMarked = false;

private:
    std::string m_strOrigPath;

public:
    // The entry is a symbolic link to a file: read through it, never written through it.
    bool m_bLink = false;
    // The symbolic link page whose link records describe this file's bytes, and which alone
    // may rewrite them (html/LinkedPage.h).
    const CFileNode* m_pReadVia = nullptr;
    // Text in an 8-bit encoding other than UTF-8 (CEntryInfo::bEightBit).
    bool m_bEightBit = false;
    // Left alone by the run (base/Exclusions.h): kept only so that links to it resolve.
    bool m_bExcluded = false;
    // Permission bits of the file, kept when it is rewritten.
    unsigned m_nMode = 0;
    // What the scan found under the entry's name; a change checks that it is still there.
    FileId m_id;
};

}  // namespace ts
