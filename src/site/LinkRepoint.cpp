#include "site/LinkRepoint.h"

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/TreeWriter.h"

namespace ts {

const CDirNode& CRepointedLink::Dir() const {
    return pNode ? *pNode->m_pParent : *pDir;
}

std::string CRepointedLink::Name() const {
    return pNode ? pNode->Name() : strName;
}

std::string CRepointedLink::Path() const {
    return JoinPath(Dir().m_strPath, Name());
}

namespace {

// The components of a path; "/a//b/" gives "", "a", "", "b", "", so that joining them with
// the separator gives the text back byte for byte.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = text.find(kPathSep, start);
        parts.push_back(text.substr(start, slash - start));
        if (slash == std::string::npos) return parts;
        start = slash + 1;
    }
}

// The child of dir that had this name when the tree was scanned.
CFileNode* ScannedChild(const CDirNode& dir, std::string_view name) {
    for (const auto& child : dir.Children())
        if (BaseNameView(child->OrigPath()) == name) return child.get();
    return nullptr;
}

// The node at the absolute path given by its components as scanned, or null when the path
// does not lead to an entry of the tree.
CFileNode* NodeAt(const CDirNode& top, const std::vector<std::string>& topParts,
                  const std::vector<std::string>& where) {
    if (where.size() < topParts.size() ||
        !std::equal(topParts.begin(), topParts.end(), where.begin()))
        return nullptr;
    CFileNode* node = const_cast<CDirNode*>(&top);
    for (size_t i = topParts.size(); i < where.size() && node; ++i) {
        if (!node->IsDirNode()) return nullptr;
        node = ScannedChild(static_cast<const CDirNode&>(*node), where[i]);
    }
    return node;
}

// The non-empty components of an absolute path.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    for (std::string& part : Split(path))
        if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

}  // namespace

std::string RepointedText(const CDirNode& top, const CDirNode& dir, const std::string& text) {
    if (text.empty()) return std::string();
    const std::vector<std::string> topParts = Components(top.OrigPath());
    std::vector<std::string> where =
        text[0] == kPathSep ? std::vector<std::string>() : Components(dir.OrigPath());
    std::vector<std::string> parts = Split(text);
    CFileNode* node = nullptr;
    bool changed = false;
    for (std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!where.empty()) where.pop_back();
        } else {
            where.push_back(part);
        }
        node = NodeAt(top, topParts, where);
        if (part == ".." || !node || BaseNameView(node->OrigPath()) == node->NameView()) continue;
        part = node->Name();
        changed = true;
    }
    if (!changed || !NodeAt(top, topParts, where)) return std::string();
    std::string out = parts[0];
    for (size_t i = 1; i < parts.size(); ++i)
        out.append(1, kPathSep).append(parts[i]);
    return out;
}

namespace {

// Re-points the link name in dir (pNode: its node, when it has one) when its text needs it.
void RepointOne(CTreeWriter& writer, const CDirNode& top, CDirNode& dir, const std::string& name,
                CFileNode* pNode, std::vector<CRepointedLink>& done) {
    CRunContext& ctx = writer.Ctx();
    std::string text;
    if (!ctx.fs.ReadLink(JoinPath(dir.m_strPath, name), text)) {
        ctx.ErrorLine(JoinPath(dir.m_strPath, name), LoadString(IDS_LINK_READ_FAILED));
        return;
    }
    std::string newText = RepointedText(top, dir, text);
    if (newText.empty() || !writer.Repoint(dir, name, newText)) return;
    CRepointedLink link;
    link.pNode = pNode;
    if (!pNode) {
        link.pDir = &dir;
        link.strName = name;
    }
    link.strOldText = std::move(text);
    link.strNewText = std::move(newText);
    done.push_back(std::move(link));
}

// The links the scan left out of dir: links to directories and links to nothing (hidden
// entries stay untouched, as everywhere).
void RepointLeftOut(CTreeWriter& writer, const CDirNode& top, CDirNode& dir,
                    std::vector<CRepointedLink>& done) {
    for (const std::string& name : dir.m_vOtherNames) {
        FileStat st;
        if (name[0] == '.' || !writer.Ctx().fs.Stat(JoinPath(dir.m_strPath, name), st) ||
            !st.isLink || st.kind == EntryKind::File)
            continue;
        RepointOne(writer, top, dir, name, nullptr, done);
    }
}

}  // namespace

int RepointLinks(CTreeWriter& writer, CDirNode& top, std::vector<CRepointedLink>& done) {
    size_t before = done.size();
    int n = top.ForEach(
        [&](CFileNode& node, bool&) {
            // An excluded link is left as it is, even when it now points nowhere.
            if (node.m_bExcluded) return 0;
            if (node.IsDirNode())
                RepointLeftOut(writer, top, static_cast<CDirNode&>(node), done);
            else if (node.m_bLink && node.m_pParent)
                RepointOne(writer, top, *node.m_pParent, node.Name(), &node, done);
            return 0;
        },
        "Re-pointing Symbolic Links");
    return n < 0 ? -1 : static_cast<int>(done.size() - before);
}

void ReportRepointedLinks(CReportStream& out, const std::vector<CRepointedLink>& links,
                          bool bBack) {
    if (links.empty()) return;
    out << HeadingBlock("SYMBOLIC LINKS RE-POINTED:");
    for (const CRepointedLink& link : links)
        out << PadRight(ShownName(bBack ? link.strOldText : link.strNewText), 36) << kIndent
            << ShownName(link.Path()) << "\n";
    out << kSectionGap;
}

}  // namespace ts
