#include "html/ResolveLink.h"

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/Url.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

namespace {

bool StartsWithAscii(const std::string& s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// The scheme as the attribute table sees it: letters and a ":" at the very start of the text
// as written, so that the looked-up path begins where the replaceable text does.
int SchemeLength(const std::string& written) {
    size_t i = 0;
    while (i < written.size() &&
           ((written[i] >= 'A' && written[i] <= 'Z') || (written[i] >= 'a' && written[i] <= 'z')))
        ++i;
    return i < written.size() && written[i] == ':' ? static_cast<int>(i + 1) : 0;
}

void FlagRewrite(CHtmlNode& file, CHtmlNode::CTag& tag) {
    tag.m_bRewrite = true;
    file.m_bRewrite = true;
}

// The path a local link names, as the site was scanned.
std::string LocalPath(const CHtmlNode& file, const CHtmlNode::CTag& tag, const CLinkBase& base) {
    std::string path;
    if (tag.m_nKind == LK_BASE) {
        path = file.m_strBase;
        if (!path.empty() && path.back() == kPathSep) path.pop_back();
        return path;
    }
    path = tag.m_strUrl;
    path.erase(0, static_cast<size_t>(tag.m_nScheme));
    // URLs separate with "/", which is also the native separator here.
    if (!path.empty() && path[0] == kPathSep) {
        const std::string& root = base.strSiteRoot;
        if (!root.empty() && root.back() == kPathSep) path.erase(0, 1);
        path.insert(0, root);
    } else {
        ResolveDotDot(path, file.m_strBase, kPathSep);
    }
    return path;
}

// The link names its target with every component as the target is called: otherwise (a
// renamed entry, a change of case) it must be rewritten. Components before a ".." are not
// compared: the link does not name them.
bool NamesDiffer(const CHtmlNode::CTag& tag, const CFileNode* node) {
    std::string rest = tag.m_strUrl;
    if (rest.empty() || rest[0] != '/') rest.insert(0, "/");
    if (tag.m_nKind == LK_BASE && rest.back() == '/') rest.pop_back();
    while (node) {
        size_t slash = rest.rfind('/');
        if (slash == std::string::npos) return false;
        std::string component = rest.substr(slash + 1);
        rest.resize(slash);
        if (component == "..") return false;
        if (!node->m_strNewName.empty() || component != node->Name()) return true;
        node = node->m_pParent;
        if (rest.empty()) return false;
    }
    return false;
}

}  // namespace

bool ResolveLink(CHtmlNode& file, CHtmlNode::CTag& tag, const CLinkBase& base) {
    std::string written = tag.m_strUrl;
    tag.m_nBase = base.nBase;
    tag.m_nScheme = SchemeLength(written);
    DecodeUrl(tag.m_strUrl);
    const std::string& url = tag.m_strUrl;

    if (url.find("//") != std::string::npos) {
        tag.m_nKind = LK_EXTERNAL;
        if (url.starts_with("//")) {
            std::string scheme = "http:";
            if (base.bFullUrl) {
                size_t colon = file.m_strBase.find(':');
                scheme = colon == std::string::npos ? std::string()
                                                    : file.m_strBase.substr(0, colon + 1);
            }
            tag.m_strUrl.insert(0, scheme);
        }
        return true;
    }
    if (StartsWithAscii(url, "mailto:") || StartsWithAscii(url, "news:")) {
        tag.m_nKind = LK_EXTERNAL;
        return true;
    }
    if (base.bFullUrl) {
        tag.m_nKind = LK_EXTERNAL;
        tag.m_strUrl = ResolveReference(base.strBaseUrl, tag.m_strUrl);
        return true;
    }

    // A local link's query is not part of the file's name: the name ends at the first "?" as
    // written ("%3F" is a character of the name); the record's text to replace ends there too.
    if (tag.m_nKind == LK_LOCAL) {
        size_t query = written.find('?');
        if (query != std::string::npos) {
            written.resize(query);
            tag.m_strUrl = written;
            DecodeUrl(tag.m_strUrl);
            if (tag.m_strUrl.empty()) return false;
        }
    }

    CFileNode* target = SiteMapOf(file).Lookup(LocalPath(file, tag, base));
    if (!target) return true;
    tag.m_pTarget = target;

    std::string plain;
    plain.reserve(written.size());
    for (char c : written)
        if (c != '\r' && c != '\n') plain += c;
    std::string encoded = tag.m_strUrl;
    EncodeUrl(encoded);
    if (!EqualsNoCase(plain, encoded) || NamesDiffer(tag, target)) FlagRewrite(file, tag);
    return true;
}

}  // namespace ts
