// Where the external-URL page goes and how it gets there. It is written whole to a temporary
// file beside its place, then put there in one step: inside the site through the tree writer,
// which journals it (undo takes it away, or gives back the file it replaced); outside the site,
// where the user asked for it, simply in place of what was there.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CDirNode;
class CTreeWriter;

class CExternalPage {
public:
    // path is absolute; top is the site's top directory node.
    CExternalPage(CTreeWriter& writer, const CDirNode& top, std::string path);
    ~CExternalPage();
    CExternalPage(const CExternalPage&) = delete;
    CExternalPage& operator=(const CExternalPage&) = delete;

    const std::string& Path() const { return m_strPath; }
    // The temporary file the page is written to; null after an error line.
    CFile* Begin();
    // Closes the temporary file and puts it in place. journal is asked for the run's journal
    // when the page, inside the site, would replace a file and the run has none yet: without
    // one, the file stays and the page is not put. False after an error line.
    bool Put(const std::function<bool()>& journal);
    // Takes the temporary file away: the page lost text.
    void Drop();

private:
    // The directory node inside the site that holds the page, and the page's path as it is
    // now; null when the site has no such directory.
    const CDirNode* DirInSite(const CDirNode& top);
    bool PutOutside();
    bool PutInside(const std::function<bool()>& journal);

    CTreeWriter& m_writer;
    std::string m_strPath;
    std::string m_strName;
    bool m_bInside = false;
    const CDirNode* m_pDir = nullptr;  // inside the site
    std::unique_ptr<CDir> m_pOutside;  // outside it
    std::string m_strTemp;
    std::unique_ptr<CFile> m_pFile;
};

}  // namespace ts
