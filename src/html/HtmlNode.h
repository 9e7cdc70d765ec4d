// An HTML file or Web media file of the site tree, with the URL-bearing tags found in it (its
// link state, html/PageLinks.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "html/PageLinks.h"
#include "platform/CompactString.h"
#include "platform/ShownText.h"
#include "site/FileNode.h"

namespace ts {

class CHtmlNode : public CFileNode, public CPageLinks {
public:
    // The node of an examined entry, its type refined by its extension (WebFileType).
    CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent);
    // The same with the refined type already known.
    CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent, FileType type);
    ~CHtmlNode() override;

    bool IsHtmlNode() const override { return true; }
    bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) override;

    // A page or a style sheet: a file whose links are read and followed.
    bool HasLinks() const { return m_nType == FT_HTML || m_bStyleSheet; }

    // A .css file read as text: its links are url() and @import; m_nType stays the examined
    // text type, so line-end conversion treats it as the text it is.
    bool m_bStyleSheet = false;
    // For a page that is a symbolic link: the file beside it that a rewrite writes
    // (html/LinkedPage.h).
    CFileNode* m_pLinkedContent = nullptr;
    int m_nLinkedHtml = 0;
    bool m_bVisited = false;

    // The heading of a file's lines in the link reports: "In file "path"".
    std::string InFileHeading() const { return "In file \"" + ShownName(m_strPath) + "\""; }
};

// The type of a Web file: the examined type refined by the extension of its name.
// eightBit: the file is text in an 8-bit encoding other than UTF-8 (CEntryInfo::bEightBit).
FileType WebFileType(FileType examined, std::string_view name, bool eightBit = false);

// The node of a file of a run directory: an HTML node for a page, a Web media file or a style
// sheet, else a plain node (site/DirXpNode.h).
std::unique_ptr<CFileNode> MakeWebFileNode(CRunContext* ctx, const CEntryInfo& info,
                                           CDirNode* parent);

// True for the extensions of HTML pages and Web media files (any case).
bool IsWebExtension(std::string_view ext);

}  // namespace ts
