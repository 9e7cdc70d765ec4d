// An HTML file or Web media file of the site tree, with the URL-bearing tags found in it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CompactString.h"
#include "platform/ShownText.h"
#include "site/FileNode.h"

namespace ts {

// What a link is (CTag::m_nKind).
enum class LinkKind : unsigned char { LK_LOCAL = 0, LK_EXTERNAL = 1, LK_BASE = 2 };
using enum LinkKind;

// How a link's value is delimited where it stands: a rewrite must write a new text that the
// same delimiters still hold (a "'" in a new name ends a single-quoted value, a blank ends an
// unquoted one, a ")" ends a bare url() of a style sheet).
enum class LinkQuote : unsigned char { Double, Single, None, CssBare };

// Where a link stands: the rewrite keeps each form, the reports name them alike.
enum class LinkSource : unsigned char {
    Attribute,   // an attribute's whole value
    SrcsetItem,  // one candidate URL of a srcset or imagesrcset list
    Refresh,     // the url= part of a meta refresh content
    CssUrl,      // url(...) in a style attribute, a style element or a style sheet
    CssImport,   // @import "..." (a string, not url()) in style
};

class CHtmlNode : public CFileNode {
public:
    // One URL-bearing attribute occurrence. A large site has millions: the members are
    // ordered and the small ones packed so that the record is 48 bytes.
    struct CTag {
        uint64_t m_nStart = 0;  // the tag's "<", then the replaceable URL text's first byte
        uint64_t m_nEnd = 0;    // the tag's ">", then one past the replaceable URL text
        // The decoded URL (an external one as written, made absolute). Only reports read it
        // after the link is resolved, so a link to a file that needs no rewrite lets it go
        // (ResolveLink).
        CCompactString m_strUrl;
        // The link's replaceable text as written, kept for a link to be rewritten until the
        // first rewrite replaces it, then the bytes it replaced, so that undo can put them
        // back exactly. Read it through Written(): when it is m_strUrl's very bytes, as it
        // mostly is, it is not kept twice.
        CCompactString m_strWritten;
        CFileNode* m_pTarget = nullptr;
        int m_nLine = 0;
        LinkKind m_nKind : 2 = LK_LOCAL;
        LinkQuote m_nQuote : 2 = LinkQuote::Double;
        LinkSource m_nSource : 3 = LinkSource::Attribute;
        bool m_bRewrite : 1 = false;
        // A rewrite of the run changed this link in the file; undo changes no other link.
        bool m_bRewritten : 1 = false;
        // The text as written is m_strUrl.
        bool m_bWrittenIsUrl : 1 = false;
        // The column (in bytes, from 1) of the link on its line m_nLine, for the
        // machine-readable reports; 0 when unknown, the largest value beyond it.
        unsigned m_nColumn : 22 = 0;

        void SetColumn(int column) {
            constexpr int kMax = (1 << 22) - 1;
            m_nColumn = static_cast<unsigned>(column < 0 ? 0 : column > kMax ? kMax : column);
        }

        std::string_view Written() const { return m_bWrittenIsUrl ? m_strUrl : m_strWritten; }
        // A local link that resolves to nothing is never rewritten: its m_strWritten holds
        // the path it names instead (the URL for one that leaves the site), so that the links
        // to one missing file are counted together.
        std::string_view Missing() const {
            return m_pTarget ? std::string_view() : m_strWritten.View();
        }
        void SetMissing(std::string_view path) {
            m_bWrittenIsUrl = false;
            m_strWritten = path;
        }
        void SetWritten(std::string_view text) {
            m_bWrittenIsUrl = text == m_strUrl.View();
            m_strWritten = m_bWrittenIsUrl ? std::string_view() : text;
        }
    };
    static_assert(sizeof(CTag) <= 48, "a link record is kept for every link of the site");

    // The node of an examined entry, its type refined by its extension (WebFileType).
    CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent);
    // The same with the refined type already known.
    CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent, FileType type);
    ~CHtmlNode() override;

    bool IsHtmlNode() const override { return true; }
    bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) override;

    // A page or a style sheet: a file whose links are read and followed.
    bool HasLinks() const { return m_nType == FT_HTML || m_bStyleSheet; }

    std::unique_ptr<std::vector<CTag>> m_pTags;
    // Kept only when fragments are checked (CLinkOptions::checkFragments): the links that
    // carry a #fragment, and the fragments the page itself offers (its ids and the names of
    // its "a" elements, sorted). m_pAnchors is set for every page read whole.
    struct CFragmentLink {
        int32_t tag;  // index in m_pTags; -1 for a link to this page itself ("#x")
        int line;
        int column;
        std::string url;       // the link with its fragment, as the report lists it
        std::string fragment;  // after the "#", character references decoded
    };
    std::unique_ptr<std::vector<CFragmentLink>> m_pFragmentLinks;
    std::unique_ptr<std::vector<std::string>> m_pAnchors;
    // A .css file read as text: its links are url() and @import; m_nType stays the examined
    // text type, so line-end conversion treats it as the text it is.
    bool m_bStyleSheet = false;
    // For a page that is a symbolic link: the file beside it that a rewrite writes
    // (html/LinkedPage.h).
    CFileNode* m_pLinkedContent = nullptr;
    int m_nLinkedHtml = 0;
    bool m_bVisited = false;
    // The file could not be opened or read whole: its links are unknown.
    bool m_bUnreadable = false;
    std::string m_strBase;
    bool m_bRewrite = false;
    // Every directory base in force while the file is parsed, in order: the file's own
    // directory first, then one for each "base" tag that named a directory. Only resolution
    // needs them, so they are let go once the file is read.
    std::vector<std::string> m_vBases;

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
