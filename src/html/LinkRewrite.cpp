#include "html/LinkRewrite.h"

#include <algorithm>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/HtmlNode.h"
#include "html/Url.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"

namespace ts {
namespace {

const CFileNode* TopOf(const CFileNode* node) {
    while (node->m_pParent)
        node = node->m_pParent;
    return node;
}

// A node's path below the top directory as it would be after the suggested renames, with "/"
// before every component; the top directory itself gives "".
std::string SuggestedPath(const CFileNode* node) {
    std::vector<std::string> parts;
    for (; node && node->m_pParent; node = node->m_pParent)
        parts.push_back(node->m_strNewName.empty() ? node->Name() : node->m_strNewName);
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        path += "/" + *it;
    return path;
}

// The directory a record was resolved against, or the top directory when the site does not
// know it (the top directory itself, or a base outside the tree).
const CFileNode* BaseDirOf(const CHtmlNode& file, const CHtmlNode::CTag& tag) {
    const CFileNode* top = TopOf(&file);
    if (tag.m_nBase < 0 || static_cast<size_t>(tag.m_nBase) >= file.m_vBases.size()) return top;
    std::string dir = file.m_vBases[static_cast<size_t>(tag.m_nBase)];
    if (!dir.empty() && dir.back() == kPathSep) dir.pop_back();
    const CFileNode* found = SiteMapOf(file).Lookup(dir);
    return found && found->IsDirNode() ? found : top;
}

// Strips "dir/" from the front of path; a path outside dir stays whole.
std::string Below(const std::string& path, const std::string& dir) {
    if (dir.empty()) return path.starts_with("/") ? path.substr(1) : path;
    if (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
        path[dir.size()] == '/')
        return path.substr(dir.size() + 1);
    return path;
}

// The last n components of path, each with its leading separator.
std::string LastComponents(const std::string& path, size_t n) {
    size_t pos = path.size();
    for (size_t i = 0; i < n; ++i) {
        size_t slash = pos == 0 ? std::string::npos : path.rfind('/', pos - 1);
        if (slash == std::string::npos) return path;
        pos = slash;
    }
    return path.substr(pos);
}

// The new text of a link: the target as it is (or would be) called, in the link's own form.
// T is the target's path, below is the part of it under the top directory (beginning with
// "/"), and baseDir the path of the directory the link was resolved against.
std::string NewLinkText(const CHtmlNode::CTag& tag, const std::string& t, const std::string& below,
                        const std::string& baseDir) {
    const std::string& u = tag.m_strUrl;
    // The replaceable text begins after a scheme such as "file:".
    std::string rest = u.substr(std::min(u.size(), static_cast<size_t>(tag.m_nScheme)));
    std::string text;
    if (rest.starts_with("/")) {
        text = below;
    } else {
        std::string r = rest;
        if (tag.m_nKind == LK_BASE && r.ends_with("/")) r.pop_back();
        size_t ups = 0;
        while (r.starts_with("../")) {
            r.erase(0, 3);
            ++ups;
        }
        if (ups > 0) {
            size_t n = 1 + static_cast<size_t>(std::count(r.begin(), r.end(), '/'));
            text = rest.substr(0, ups * 3 - 1) + LastComponents(t, n);
        } else {
            text = Below(t, baseDir);
        }
    }
    if (tag.m_nKind == LK_BASE && u.ends_with("/")) text += "/";
    return text;
}

std::string ChangeLine(const CHtmlNode::CTag& tag, const std::string& text) {
    std::string line = Format("   line %4d: %s\n   -------->  %s", tag.m_nLine,
                              tag.m_strUrl.c_str(), text.c_str());
    if (EqualsNoCase(text, tag.m_strUrl))
        line += text != tag.m_strUrl ? " (case change)" : "(reserved character encode)";
    return line + "\n";
}

// True when the target and every directory above it carry the names they had before the run
// again: undo then writes each link back exactly as it was.
bool NamesRestored(const CFileNode* node) {
    for (; node; node = node->m_pParent)
        if (!node->m_strNewName.empty() && node->Name() != node->m_strNewName) return false;
    return true;
}

// Streams a file into a rewrite: copies up to an offset, or skips up to one.
class CCopier {
public:
    CCopier(CFile& in, CContentSink& out) : m_in(in), m_out(out) {}
    enum Result { OK, READ_FAILED, WRITE_FAILED };

    // Copies (or, with captured, takes out of the file) the bytes up to offset; to the end of
    // the file when offset is UINT64_MAX.
    Result To(uint64_t offset, std::string* captured) {
        while (m_pos < offset) {
            if (m_begin == m_end) {
                long long n = m_in.Read(m_buf, sizeof m_buf);
                if (n < 0) return READ_FAILED;
                if (n == 0) return offset == UINT64_MAX ? OK : READ_FAILED;
                m_begin = 0;
                m_end = static_cast<size_t>(n);
            }
            size_t take = m_end - m_begin;
            if (offset != UINT64_MAX) take = std::min<uint64_t>(take, offset - m_pos);
            if (captured) {
                captured->append(m_buf + m_begin, take);
            } else if (!m_out.Write(m_buf + m_begin, take)) {
                return WRITE_FAILED;
            }
            m_begin += take;
            m_pos += take;
        }
        return OK;
    }
    uint64_t Position() const { return m_pos; }

private:
    CFile& m_in;
    CContentSink& m_out;
    char m_buf[65536];
    size_t m_begin = 0, m_end = 0;
    uint64_t m_pos = 0;
};

// True for a link the rewrite changes. Undo changes back only the links the run changed: a
// page the run could not rewrite still holds its links as they were, and is left alone.
bool Wanted(const CHtmlNode::CTag& tag, bool bUndoing) {
    return tag.m_pTarget && tag.m_bRewrite && (!bUndoing || tag.m_bRewritten);
}

// The page with its wanted links rewritten; the records and the report follow only once the
// new page has replaced the old one.
class CLinkProducer : public CContentProducer {
public:
    CLinkProducer(CHtmlNode& page, bool bUndoing) : m_page(page), m_bUndoing(bUndoing) {}

    Result Produce(CFile& in, CContentSink& out) override;

    void Replaced() override {
        for (Change& c : m_changes) {
            c.tag->m_strUrl.swap(c.url);
            c.tag->m_nScheme = 0;  // the new text is what followed the scheme
            c.tag->m_nStart = c.start;
            c.tag->m_nEnd = c.end;
            if (!c.tag->m_bRewritten) c.tag->m_strWritten.swap(c.written);
            c.tag->m_bRewritten = true;
        }
        m_page.Ctx().statusReport << m_strReport;
    }

private:
    struct Change {
        CHtmlNode::CTag* tag;
        std::string url, written;
        uint64_t start, end;
    };

    static Result Failed(CCopier::Result r) {
        return r == CCopier::READ_FAILED ? READ_FAILED : WRITE_FAILED;
    }

    // Writes the link's new text in place of the replaced bytes.
    bool Rewrite(CHtmlNode::CTag& tag, std::string replaced, CContentSink& out);

    CHtmlNode& m_page;
    bool m_bUndoing;
    std::vector<Change> m_changes;
    std::string m_strLines;
    std::string m_strReport;
};

CContentProducer::Result CLinkProducer::Produce(CFile& in, CContentSink& out) {
    if (!out.Begin()) return WRITE_FAILED;
    CCopier copier(in, out);
    for (CHtmlNode::CTag& tag : *m_page.m_pTags) {
        if (!Wanted(tag, m_bUndoing)) continue;
        // Records are in file order and never overlap; one that does is left alone.
        if (tag.m_nStart < copier.Position() || tag.m_nEnd < tag.m_nStart) continue;
        if (auto r = copier.To(tag.m_nStart, nullptr); r != CCopier::OK) return Failed(r);
        std::string replaced;
        if (auto r = copier.To(tag.m_nEnd, &replaced); r != CCopier::OK) return Failed(r);
        if (!Rewrite(tag, std::move(replaced), out)) return WRITE_FAILED;
    }
    if (auto r = copier.To(UINT64_MAX, nullptr); r != CCopier::OK) return Failed(r);
    // Once the page has changed, its records must follow whatever happens (undo relies on
    // them): what could fail for want of memory is done first, then only moves.
    m_strReport = "\n" + m_page.InFileHeading() + "\n" + m_strLines + "\n\n";
    return NEW_CONTENT;
}

bool CLinkProducer::Rewrite(CHtmlNode::CTag& tag, std::string replaced, CContentSink& out) {
    const std::string& t = tag.m_pTarget->m_strPath;
    const std::string& topPath = TopOf(&m_page)->m_strPath;
    std::string text =
        NewLinkText(tag, t, Below(t, topPath).insert(0, "/"), BaseDirOf(m_page, tag)->m_strPath);
    std::string bytes = text;
    EncodeUrl(bytes);
    // Undo puts back the very bytes the run replaced once every name is back.
    if (m_bUndoing && tag.m_bRewritten && NamesRestored(tag.m_pTarget)) {
        bytes = tag.m_strWritten;
        text = bytes;
        DecodeUrl(text);
    }
    m_strLines += ChangeLine(tag, text);
    uint64_t start = out.Position();
    if (!out.Write(bytes)) return false;
    m_changes.push_back({&tag, text, std::move(replaced), start, out.Position()});
    return true;
}

}  // namespace

int ReportLinkChanges(CHtmlNode& page) {
    if (!page.m_bRewrite || !page.m_pTags) return 0;
    std::string lines;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        if (!tag.m_pTarget || !tag.m_bRewrite) continue;
        std::string t = SuggestedPath(tag.m_pTarget);
        std::string text = NewLinkText(tag, t, t, SuggestedPath(BaseDirOf(page, tag)));
        lines += ChangeLine(tag, text);
    }
    if (lines.empty()) return 0;
    page.Ctx().statusReport << "\n" << page.InFileHeading() << "\n" << lines;
    return 1;
}

int RewriteLinks(CTreeWriter& writer, CHtmlNode& page, ReadOnlyChoice& readOnly, bool bUndoing) {
    if (!page.m_bRewrite || !page.m_pTags) return 0;
    const auto& tags = *page.m_pTags;
    if (std::none_of(tags.begin(), tags.end(),
                     [bUndoing](const CHtmlNode::CTag& tag) { return Wanted(tag, bUndoing); }))
        return 0;
    if (page.m_bLink) {
        page.Ctx().ErrorLine(page.m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return 0;
    }
    if (!CheckReadOnly(writer, page, readOnly)) return 0;
    CLinkProducer producer(page, bUndoing);
    return writer.ReplaceContent(page, producer) ? 1 : 0;
}

}  // namespace ts
