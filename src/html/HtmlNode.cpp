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

CHtmlNode::CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent)
    : CHtmlNode(ctx, info, parent,
                WebFileType(info.nType, BaseName(info.strPath), info.bEightBit)) {}

CHtmlNode::CHtmlNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent, FileType type)
    : CFileNode(ctx, info, parent) {
    m_nType = type;
}

CHtmlNode::~CHtmlNode() = default;

std::unique_ptr<CFileNode> MakeWebFileNode(CRunContext* ctx, const CEntryInfo& info,
                                           CDirNode* parent) {
    std::string_view name = BaseNameView(info.strPath);
    // A style sheet links to images, fonts and other sheets; read as text, it is walked.
    if (info.nType > 0 || info.bEightBit) {
        std::string_view ext = ExtensionOf(name);
        if (ext.size() == 3 && ToLower(ext) == "css") {
            auto sheet = std::make_unique<CHtmlNode>(ctx, info, parent, info.nType);
            sheet->m_bStyleSheet = true;
            return sheet;
        }
    }
    // Only a name with a Web extension can give an HTML node; the type is refined once here.
    if (IsWebExtension(ExtensionOf(name))) {
        FileType type = WebFileType(info.nType, name, info.bEightBit);
        if (type == FT_HTML || (type <= FT_PNG && type >= FT_JPEG))
            return std::make_unique<CHtmlNode>(ctx, info, parent, type);
    }
    return std::make_unique<CFileNode>(ctx, info, parent);
}

// HTML pages are text files named .htm or .html, in UTF-8 or any 8-bit encoding; the media
// kinds are binary files with their extensions. A directory stays a directory whatever its
// name.
FileType WebFileType(FileType examined, std::string_view name, bool eightBit) {
    std::string ext = ToLower(ExtensionOf(name));
    if (ext.empty()) return examined;
    const bool page = ext == "htm" || ext == "html";
    if (examined > 0 || (eightBit && page)) return page ? FT_HTML : examined;
    if (examined != FT_BINARY) return examined;
    if (ext == "jpg" || ext == "jpeg") return FT_JPEG;
    if (ext == "mpg" || ext == "mpeg") return FT_MPEG;
    if (ext == "png" || ext == "ping") return FT_PNG;
    if (ext == "aif" || ext == "aiff") return FT_AIFF;
    return examined;
}

}  // namespace ts
