#include "html/HtmlNode.h"

#include "base/RunContext.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

bool IsWebExtension(std::string_view ext) {
    if (ext.size() < 3 || ext.size() > 4) return false;
    std::string e = ToLower(ext);
    return e == "htm" || e == "html" || e == "jpg" || e == "jpeg" || e == "mpg" || e == "mpeg" ||
           e == "png" || e == "ping" || e == "aif" || e == "aiff";
}

CHtmlNode::CHtmlNode(CRunContext* ctx, const std::string& path, CDirNode* parent)
    : CFileNode(ctx, path, parent) {
    CHtmlNode::Classify();
}

CHtmlNode::~CHtmlNode() = default;

// HTML pages are text files named .htm or .html; the media kinds are binary files with
// their extensions. A directory stays a directory whatever its name.
void CHtmlNode::Classify() {
    CFileNode::Classify();
    std::string ext = ToLower(ExtensionOf(NameView()));
    if (ext.empty()) return;
    if (m_nType > 0) {
        if (ext == "htm" || ext == "html") m_nType = FT_HTML;
    } else if (m_nType == FT_BINARY) {
        if (ext == "jpg" || ext == "jpeg")
            m_nType = FT_JPEG;
        else if (ext == "mpg" || ext == "mpeg")
            m_nType = FT_MPEG;
        else if (ext == "png" || ext == "ping")
            m_nType = FT_PNG;
        else if (ext == "aif" || ext == "aiff")
            m_nType = FT_AIFF;
    }
}

}  // namespace ts
