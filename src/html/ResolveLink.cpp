#include "html/ResolveLink.h"

#include <algorithm>
#include <vector>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/CssLinks.h"
#include "html/LinkText.h"
#include "html/SiteUrl.h"
#include "html/Url.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

namespace {

// Schemes that name no resource at all (script, inline content, the browser's own pages,
// objects in its memory): neither a file of the site nor an address worth listing.
bool NamesNothing(std::string_view scheme) {
    std::string s = ToLower(scheme);
    return s == "javascript:" || s == "vbscript:" || s == "data:" || s == "about:" || s == "blob:";
}

void FlagRewrite(CHtmlNode& file, CHtmlNode::CTag& tag) {
    tag.m_bRewrite = true;
    file.m_bRewrite = true;
}

CDirNode& TopOf(CFileNode& node) {
    CFileNode* top = &node;
    while (top->m_pParent)
        top = top->m_pParent;
    return static_cast<CDirNode&>(*top);
}

// A path resolved as a browser does: dot segments removed, a ".." above the top directory
// leaving the site, except for a path from the root, which stays at the root.
struct CLocalPath {
    std::vector<std::string> segments;  // below the top directory, decoded
    bool outside = false;
    bool directory = false;  // ends in "/", "." or ".."
};

CLocalPath Resolve(std::string_view path, std::vector<std::string> start, bool fromRoot) {
    CLocalPath r;
    r.segments = std::move(start);
    size_t begin = 0;
    while (begin <= path.size()) {
        // A browser reads a "\" in the path of a page's URL as a "/" ("%5C" stays a name's).
        size_t slash = path.find_first_of("/\\", begin);
        if (slash == std::string_view::npos) slash = path.size();
        std::string part(path.substr(begin, slash - begin));
        DecodeUrl(part);
        r.directory = part.empty() || part == "." || part == "..";
        if (part == "..") {
            if (!r.segments.empty())
                r.segments.pop_back();
            else if (!fromRoot)
                r.outside = true;
        } else if (!part.empty() && part != ".") {
            r.segments.push_back(std::move(part));
        }
        begin = slash + 1;
    }
    return r;
}

// The directories of a base below the top directory; false when the base is outside it.
bool BaseSegments(const std::string& base, const std::string& top, std::vector<std::string>& out) {
    std::string dir = base;
    if (!dir.empty() && dir.back() == kPathSep) dir.pop_back();
    if (dir == top) return true;
    std::string prefix = top.ends_with(kPathSep) ? top : top + kPathSep;
    if (!dir.starts_with(prefix)) return false;
    std::string_view rest = std::string_view(dir).substr(prefix.size());
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t slash = rest.find(kPathSep, begin);
        if (slash == std::string_view::npos) slash = rest.size();
        out.emplace_back(rest.substr(begin, slash - begin));
        begin = slash + 1;
    }
    return true;
}

// The entry a resolved path names; with fallback extensions a name without one that names
// nothing finds the first "name.ext" that exists, as static servers do.
CFileNode* Find(CHtmlNode& file, const CLocalPath& path) {
    CDirNode& top = TopOf(file);
    if (path.outside) return nullptr;
    if (path.segments.empty()) return &top;
    std::string full = top.OrigPath();
    for (const std::string& s : path.segments) {
        // An escaped "/" is part of a name, and no name holds one.
        if (s.find(kPathSep) != std::string::npos) return nullptr;
        full += (full.ends_with(kPathSep) ? "" : std::string(1, kPathSep)) + s;
    }
    CFileNode* found = SiteMapOf(file).Lookup(full);
    if (found && path.directory && !found->IsDirNode()) return nullptr;
    if (found || path.directory || path.segments.back().find('.') != std::string::npos)
        return found;
    for (const std::string& ext : file.Ctx().links.fallbackExtensions) {
        CFileNode* f = SiteMapOf(file).Lookup(full + "." + ext);
        if (f && !f->IsDirNode()) return f;
    }
    return nullptr;
}

// The path a local link that resolves to nothing names, as the report shows paths.
std::string MissingPath(CHtmlNode& file, const CLocalPath& path, const std::string& url) {
    if (path.outside) return url;
    std::string full = TopOf(file).OrigPath();
    for (const std::string& s : path.segments)
        full += (full.ends_with(kPathSep) ? "" : std::string(1, kPathSep)) + s;
    return path.directory && !path.segments.empty() ? full + kPathSep : full;
}

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

// "//host/..." or one written with backslashes, which a browser reads alike.
bool NamesHost(std::string_view s) {
    return s.size() >= 2 && IsSlash(s[0]) && IsSlash(s[1]);
}

// A link is external when it has a scheme of its own or names a host, unless it is one of the
// site's own addresses; false when it names nothing to check at all.
bool ClassifyExternal(CHtmlNode& file, size_t schemeLength, const CLinkBase& base,
                      const std::string& written, std::string& url, bool& external) {
    external = false;
    const std::string scheme = written.substr(0, schemeLength);
    if (SitePathStart(file.Ctx().links.siteUrls, written) != std::string::npos) return true;
    if (!scheme.empty() && NamesNothing(scheme)) return false;
    const bool fileScheme = EqualsNoCase(scheme, "file:");
    external = (!scheme.empty() && !fileScheme) || NamesHost(written) ||
               (fileScheme && url.find("//") != std::string::npos);
    if (external && NamesHost(url)) {
        url.replace(0, 2, "//");
        std::string prefix = "http:";
        if (base.bFullUrl) {
            size_t colon = file.m_strBase.find(':');
            prefix =
                colon == std::string::npos ? std::string() : file.m_strBase.substr(0, colon + 1);
        }
        url.insert(0, prefix);
    }
    if (!external && base.bFullUrl) {
        external = true;
        url = ResolveReference(base.strBaseUrl, url);
    }
    return true;
}

// An external link's URL as written, made absolute the same way: the check asks for exactly
// this URL, and a moved one is rewritten from it; reports show it decoded.
std::string ExternalAsWritten(CHtmlNode& file, size_t schemeLength, const CLinkBase& base,
                              const std::string& written) {
    std::string asked = written;
    std::erase_if(asked, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
    bool external = false;
    ClassifyExternal(file, schemeLength, base, written, asked, external);
    return asked;
}

// The look-up path of a local link written as written (query cut off), its scheme
// schemeLength bytes long, relative to the directory base in force.
CLocalPath LocalPath(CHtmlNode& file, const CLinkBase& base, size_t schemeLength,
                     const std::string& written) {
    const std::string& top = TopOf(file).OrigPath();
    size_t site = SitePathStart(file.Ctx().links.siteUrls, written);
    if (site != std::string::npos)
        return Resolve(std::string_view(written).substr(site), {}, false);
    std::string_view path = std::string_view(written).substr(schemeLength);
    if (!path.empty() && IsSlash(path[0])) return Resolve(path.substr(1), {}, true);
    std::vector<std::string> start;
    const std::string& dir = static_cast<size_t>(base.nBase) < file.m_vBases.size()
                                 ? file.m_vBases[static_cast<size_t>(base.nBase)]
                                 : file.m_strBase;
    if (!BaseSegments(dir, top, start)) {
        CLocalPath outside;
        outside.outside = true;
        return outside;
    }
    return Resolve(path, std::move(start), false);
}

}  // namespace

bool ResolveLink(CHtmlNode& file, CHtmlNode::CTag& tag, const CLinkBase& base) {
    // Blanks around the URL were left out of the record; CSS escapes are read before the URL.
    std::string url = tag.m_strUrl.Str();
    if (tag.m_nSource == LinkSource::CssUrl || tag.m_nSource == LinkSource::CssImport) {
        url = CssUrlText(url);
        url.resize(std::min(url.find('#'), url.size()));
        if (url.empty()) return false;
    }
    std::string written = url;
    const size_t scheme = static_cast<size_t>(SchemeLength(written));
    DecodeUrl(url);

    if (tag.m_nKind != LK_BASE) {
        bool external = false;
        if (!ClassifyExternal(file, scheme, base, written, url, external)) return false;
        if (external) {
            tag.m_nKind = LK_EXTERNAL;
            tag.m_strUrl = ExternalAsWritten(file, scheme, base, written);
            return true;
        }
        // A local link's query is not part of the file's name: the name ends at the first
        // "?" as written ("%3F" is a character of the name).
        size_t query = written.find('?');
        if (query != std::string::npos) {
            written.resize(query);
            url = written;
            DecodeUrl(url);
            if (url.empty()) return false;
        }
    }
    tag.m_strUrl = url;

    CFileNode* target = nullptr;
    if (tag.m_nKind == LK_BASE) {
        std::string path = file.m_strBase;
        if (!path.empty() && path.back() == kPathSep) path.pop_back();
        target = path == TopOf(file).OrigPath() ? &TopOf(file) : SiteMapOf(file).Lookup(path);
    } else {
        const CLocalPath local = LocalPath(file, base, scheme, written);
        target = Find(file, local);
        if (!target && tag.m_nKind == LK_LOCAL) tag.SetMissing(MissingPath(file, local, url));
    }
    if (!target) return true;
    tag.m_pTarget = target;
    // Until a rewrite replaces them, the replaceable text as written (its character references
    // decoded, its CSS escapes as "%XY"); only a link to be rewritten needs it.
    std::string_view replaceable = std::string_view(written).substr(scheme);
    if (LinkTextChanges(tag, replaceable, NamesOf::Suggested, file.Ctx().links)) {
        tag.SetWritten(replaceable);
        FlagRewrite(file, tag);
    } else if (tag.m_nKind == LK_LOCAL && !target->IsDirNode()) {
        // Only a report reads the URL again: of a link to be rewritten, one that resolves to
        // nothing, or one to a directory that may have no index page. On a large site the
        // URLs of the other links would be most of what the run holds.
        tag.m_strUrl = CCompactString();
    }
    return true;
}

}  // namespace ts
