#include "html/WebExtensions.h"

#include "base/RunSettings.h"
#include "html/HtmlNode.h"
#include "platform/Text.h"
#include "site/NameRules.h"

namespace ts {
namespace {

struct WebExtRow {
    int nType;
    const char* strShort;  // Windows
    const char* strLong;   // Mac/UNIX
};

const WebExtRow kRows[] = {
    {FT_HTML, "htm", "html"}, {FT_JPEG, "jpg", "jpeg"}, {FT_MPEG, "mpg", "mpeg"},
    {FT_PNG, "png", "ping"},  {FT_AIFF, "aif", "aiff"},
};

// The new extension follows the case of the old one's first letter: JPEG -> JPG, Jpeg -> JPG,
// jPEG -> jpg.
std::string ByFirstLetter(const std::string& ext, const char* word) {
    bool upper = !ext.empty() && ext[0] >= 'A' && ext[0] <= 'Z';
    return upper ? ToUpper(word) : std::string(word);
}

}  // namespace

std::string WebExtensionFor(int nType, const std::string& ext, int nConvention) {
    const std::string lower = ToLower(ext);
    for (const WebExtRow& row : kRows) {
        if (row.nType != nType) continue;
        if (nConvention == WEB_EXT_WINDOWS && lower == row.strLong) {
            // Where the short form is the long one less its last letter, the letters stay as
            // they were: Html -> Htm.
            if (nType == FT_HTML || nType == FT_AIFF) return ext.substr(0, ext.size() - 1);
            return ByFirstLetter(ext, row.strShort);
        }
        if (nConvention == WEB_EXT_UNIX && lower == row.strShort)
            return ByFirstLetter(ext, row.strLong);
    }
    return std::string();
}

// The Web extension is proposed first; the target's rules then start from the proposal.
bool CHtmlNode::CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) {
    if (nRenameHtml != 0) {
        const std::string name = Name();
        size_t dot = name.rfind('.');
        if (dot != std::string::npos) {
            std::string ext = WebExtensionFor(m_nType, name.substr(dot + 1), nRenameHtml);
            if (!ext.empty()) SetNewName(*this, name.substr(0, dot + 1) + ext);
        }
    }
    return CFileNode::CheckName(nTarget, pAutoFileName, nRenameHtml, pCancel);
}

}  // namespace ts
