#include "html/LinkRewrite.h"

#include <algorithm>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/ContentCopier.h"
#include "html/CssLinks.h"
#include "html/HtmlNode.h"
#include "html/LinkText.h"
#include "html/LinkedPage.h"
#include "html/Url.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"

namespace ts {
namespace {

bool IsCss(const CHtmlNode::CTag& tag) {
    return tag.m_nSource == LinkSource::CssUrl || tag.m_nSource == LinkSource::CssImport;
}

// The text a report shows for a link's bytes: decoded, as the link's own line shows it.
std::string Shown(const CHtmlNode::CTag& tag, const std::string& bytes) {
    std::string text = IsCss(tag) ? CssUrlText(bytes) : bytes;
    DecodeUrl(text);
    return text;
}

// A component of a link's bytes and the separator before it ("" before the first). In a
// style sheet a "\" starts an escape, which separates only when it stands for "/" or "\";
// one that stands for "?" or "#" ends the path, and what follows it is tail, which stays.
struct CWrittenPart {
    std::string_view sep, text;
};

std::vector<CWrittenPart> SplitWritten(std::string_view s, bool css, std::string_view* tail) {
    std::vector<CWrittenPart> parts(1);
    std::string bytes;
    size_t begin = 0;
    for (size_t i = 0; i < s.size();) {
        size_t len = 1;
        bool sep = s[i] == '/' || (!css && s[i] == '\\');
        if (css && s[i] == '\\') {
            len = CssEscapeAt(s, i, bytes);
            sep = bytes == "/" || bytes == "\\";
            if (tail && (bytes == "?" || bytes == "#")) {
                *tail = s.substr(i);
                s = s.substr(0, i);
                break;
            }
        }
        if (sep) {
            parts.back().text = s.substr(begin, i - begin);
            parts.push_back({s.substr(i, len), {}});
            begin = i + len;
        }
        i += len;
    }
    parts.back().text = s.substr(begin);
    return parts;
}

std::vector<std::string_view> SplitUrl(std::string_view s) {
    std::vector<std::string_view> parts;
    for (const CWrittenPart& p : SplitWritten(s, false, nullptr))
        parts.push_back(p.text);
    return parts;
}

// A component as written that a browser reads as itself: nothing in it to escape (a style
// sheet's own escapes are sound and stay).
bool Stands(std::string_view part, bool css, LinkQuote quote) {
    std::string plain;
    std::string bytes;
    for (size_t i = 0; i < part.size();) {
        if (css && part[i] == '\\') {
            i += CssEscapeAt(part, i, bytes);
            plain += 'x';
        } else {
            plain += part[i++];
        }
    }
    return MinimalEscape(plain, quote) == plain;
}

// The new bytes of a link from the bytes it has now: where they split into the components
// of the text as written, each component that stays keeps its very bytes (character
// references, CSS escapes and all) and each separator stays as written.
std::string NewBytes(const CHtmlNode::CTag& tag, const std::string& now, const CLinkOptions& links,
                     bool bUndoing) {
    const bool css = IsCss(tag);
    const bool again = bUndoing || tag.m_bRewritten;
    std::string_view tail;
    const std::vector<CWrittenPart> n = SplitWritten(now, css, &tail);
    const std::string_view path = std::string_view(now).substr(0, now.size() - tail.size());
    const std::string written = !again ? std::string(tag.Written()) : css ? CssUrlText(path) : now;
    std::string bytes = NewLinkBytes(tag, written, NamesOf::OnDisk, links);
    const std::vector<std::string_view> w = SplitUrl(written), b = SplitUrl(bytes);
    if (w.size() != n.size() || b.size() < w.size()) {
        // In a style sheet a "\" would start an escape.
        if (css) std::replace(bytes.begin(), bytes.end(), '\\', '/');
        return bytes.append(tail);
    }
    std::string out;
    for (size_t i = 0; i < b.size(); ++i) {
        const bool keep = i < w.size() && b[i] == MinimalEscape(w[i], tag.m_nQuote) &&
                          Stands(n[i].text, css, tag.m_nQuote);
        if (i > 0) out += i < n.size() ? n[i].sep : "/";
        out += keep ? n[i].text : b[i];
    }
    return out.append(tail);
}

std::string ChangeLine(const CHtmlNode::CTag& tag, const std::string& bytes) {
    std::string text = Shown(tag, bytes);
    std::string line = Format("   line %4d: %s\n   -------->  %s", tag.m_nLine,
                              ShownName(tag.m_strUrl.c_str()).c_str(), ShownName(text).c_str());
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
    // Some link's bytes changed.
    bool Changed() const { return m_bChanged; }

    std::function<void()> OnReplaced() override {
        return [changes = std::move(m_changes), shifts = std::move(m_shifts),
                report = std::move(m_strReport), &ctx = m_page.Ctx()]() mutable {
            ShiftRecords(shifts);
            for (Change& c : changes) {
                c.tag->m_strUrl.swap(c.url);
                c.tag->m_nStart = c.start;
                c.tag->m_nEnd = c.end;
                if (!c.tag->m_bRewritten) {
                    c.tag->m_strWritten.swap(c.written);
                    c.tag->m_bWrittenIsUrl = false;
                }
                c.tag->m_bRewritten = true;
            }
            ctx.statusReport << report;
        };
    }
    std::string Kind() const override { return "links"; }
    std::string UndoLines() const override { return m_strUndo; }

private:
    // Held in the records' own form, so that OnReplaced only swaps.
    struct Change {
        CHtmlNode::CTag* tag;
        CCompactString url, written;
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
    std::vector<RecordShift> m_shifts;
    bool m_bChanged = false;
    std::string m_strLines;
    std::string m_strReport;
    std::string m_strUndoLines;
    std::string m_strUndo;
};

CContentProducer::Result CLinkProducer::Produce(CFile& in, CContentSink& out) {
    if (!out.Begin()) return WRITE_FAILED;
    CCopier copier(in, out);
    for (CHtmlNode::CTag& tag : *m_page.m_pTags) {
        if (!Wanted(tag, m_bUndoing)) {
            NoteShift(tag, copier, out, m_shifts);
            continue;
        }
        // Records are in file order and never overlap; one that does is left alone.
        if (tag.m_nStart < copier.Position() || tag.m_nEnd < tag.m_nStart) continue;
        if (auto r = copier.To(tag.m_nStart, nullptr); r != CCopier::OK) return Failed(r);
        std::string replaced;
        if (auto r = copier.To(tag.m_nEnd, &replaced); r != CCopier::OK) return Failed(r);
        if (!Rewrite(tag, std::move(replaced), out)) return WRITE_FAILED;
    }
    if (auto r = copier.To(UINT64_MAX, nullptr); r != CCopier::OK) return Failed(r);
    if (m_changes.empty()) return NO_CHANGE;
    m_bChanged = true;
    // Once the page has changed, its records must follow whatever happens (undo relies on
    // them): what could fail for want of memory is done first, then only moves.
    m_strReport = "\n" + m_page.InFileHeading() + "\n" + m_strLines + "\n\n";
    m_strUndo = "\n" + m_page.InFileHeading() + "\n" + m_strUndoLines + "\n\n";
    return NEW_CONTENT;
}

bool CLinkProducer::Rewrite(CHtmlNode::CTag& tag, std::string replaced, CContentSink& out) {
    // A record whose text runs on into the query: the query is no part of the name and
    // stays as it is.
    std::string query;
    if (size_t q = replaced.find('?'); q != std::string::npos && tag.m_nKind == LK_LOCAL) {
        query = replaced.substr(q);
        replaced.resize(q);
    }
    std::string bytes = NewBytes(tag, replaced, m_page.Ctx().links, m_bUndoing);
    // Undo puts back the very bytes the run replaced once every name is back.
    if (m_bUndoing && tag.m_bRewritten && NamesRestored(tag.m_pTarget)) bytes = tag.Written();
    // Bytes that would stay as they are are no change: neither written nor reported.
    if (bytes == replaced) return out.Write(replaced + query);
    m_strLines += ChangeLine(tag, bytes);
    m_strUndoLines +=
        Format("   line %4d: %s\n   -------->  %s\n", tag.m_nLine,
               ShownName(Shown(tag, bytes)).c_str(), ShownName(Shown(tag, replaced)).c_str());
    uint64_t start = out.Position();
    if (!out.Write(bytes)) return false;
    uint64_t end = out.Position();
    m_changes.push_back(
        {&tag, CCompactString(Shown(tag, bytes)), CCompactString(replaced), start, end});
    return out.Write(query);
}

}  // namespace

std::string LinkChangeLines(const CHtmlNode& page) {
    if (!page.m_bRewrite || !page.m_pTags) return {};
    std::string lines;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        if (!tag.m_pTarget || !tag.m_bRewrite) continue;
        lines +=
            ChangeLine(tag, NewLinkBytes(tag, tag.Written(), NamesOf::Suggested, page.Ctx().links));
    }
    return lines.empty() ? lines : "\n" + page.InFileHeading() + "\n" + lines;
}

int ReportLinkChanges(CHtmlNode& page) {
    const std::string lines = LinkChangeLines(page);
    page.Ctx().statusReport << lines;
    return lines.empty() ? 0 : 1;
}

int RewriteLinks(CTreeWriter& writer, CHtmlNode& page, ReadOnlyChoice& readOnly, bool bUndoing) {
    if (!page.m_bRewrite || !page.m_pTags) return 0;
    const auto& tags = *page.m_pTags;
    if (std::none_of(tags.begin(), tags.end(),
                     [bUndoing](const CHtmlNode::CTag& tag) { return Wanted(tag, bUndoing); }))
        return 0;
    // A link page's bytes are those of the file it names beside it, if it may write that one.
    CFileNode* content = ContentToRewrite(writer, page, readOnly);
    if (!content) return 0;
    CLinkProducer producer(page, bUndoing);
    return writer.ReplaceContent(*content, producer) && producer.Changed() ? 1 : 0;
}

}  // namespace ts
