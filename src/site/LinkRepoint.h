// Symbolic links inside the site follow the entries they name. After the renaming pass a link
// whose text names a renamed entry of the tree (its target, or a directory on the way) gets
// the same text with the new names in their places; undo gives it back its old text.
#pragma once

#include <string>
#include <vector>

namespace ts {

class CDirNode;
class CFileNode;
class CReportStream;
class CTreeWriter;

// A link that was given a new text. A link to a file is a node of the tree and follows its own
// rename; a link to a directory is left out of the tree, so its directory and name say where
// it is.
struct CRepointedLink {
    CFileNode* pNode = nullptr;
    CDirNode* pDir = nullptr;
    std::string strName;
    std::string strOldText;
    std::string strNewText;

    const CDirNode& Dir() const;
    std::string Name() const;
    std::string Path() const;
};

// The text that names, in the tree as it is now, the entry that text named when the tree was
// scanned, read as the scan saw it from the link's directory dir ("." and ".." taken
// lexically; an absolute text counts when it leads into the tree). The form stays: a relative
// text stays relative, every "." and ".." stays, only renamed components change. Empty when
// the link needs no new text: it names no entry of the tree, or nothing on its way was renamed.
std::string RepointedText(const CDirNode& top, const CDirNode& dir, const std::string& text);

// Re-points every link of top's tree whose text needs it; each one done is appended to done.
// The number re-pointed, or -1 when cancelled.
int RepointLinks(CTreeWriter& writer, CDirNode& top, std::vector<CRepointedLink>& done);

// The status-report section of the links re-pointed (to their new texts, or with bBack to their
// old ones): nothing at all when there are none.
void ReportRepointedLinks(CReportStream& out, const std::vector<CRepointedLink>& links, bool bBack);

}  // namespace ts
