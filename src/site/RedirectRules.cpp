#include "site/RedirectRules.h"

#include <algorithm>

#include "platform/Path.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/DirXpNode.h"
#include "site/FileNode.h"

namespace ts {

namespace {

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind(kPathSep);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The URL path of full below the directory top: "/" and the names below it.
std::string UrlPathBelow(const std::string& top, const std::string& full) {
    if (top == "/") return full;
    return full.size() > top.size() ? full.substr(top.size()) : std::string("/");
}

size_t Depth(const std::string& path) {
    return std::count(path.begin(), path.end(), '/');
}

}  // namespace

std::vector<RedirectRule> RedirectRulesOf(const CDirXpNode& top, const std::string& prefix,
                                          bool caseSensitiveServer) {
    std::vector<RedirectRule> files, dirs;
    CTreeIterator it(const_cast<CDirXpNode*>(&top));
    while (const CFileNode* node = it.Next()) {
        if (node == &top || NameOf(node->m_strPath) == NameOf(node->OrigPath())) continue;
        RedirectRule rule;
        rule.from = prefix + UrlPathBelow(top.OrigPath(), node->OrigPath());
        rule.to = prefix + UrlPathBelow(top.m_strPath, node->m_strPath);
        rule.directory = node->IsDirNode();
        rule.node = node;
        // A server that ignores case already finds the new name under the old one.
        if (!caseSensitiveServer && EqualsNoCase(rule.from, rule.to)) continue;
        (rule.directory ? dirs : files).push_back(std::move(rule));
    }
    std::stable_sort(dirs.begin(), dirs.end(), [](const RedirectRule& a, const RedirectRule& b) {
        return Depth(a.from) > Depth(b.from);
    });
    files.insert(files.end(), dirs.begin(), dirs.end());
    return files;
}

std::string SitePrefixOf(const std::vector<std::string>& siteUrls) {
    if (siteUrls.empty()) return {};
    const std::string& url = siteUrls.front();
    size_t start = 0;
    if (size_t host = url.find("//"); host != std::string::npos)
        start = std::min(url.find('/', host + 2), url.size());
    std::string path = url.substr(start);
    path.resize(std::min(path.find_first_of("?#"), path.size()));
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace ts
