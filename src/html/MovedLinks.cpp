#include "html/MovedLinks.h"

#include <algorithm>
#include <vector>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/CharRefs.h"
#include "html/ContentCopier.h"
#include "html/HtmlNode.h"
#include "html/LinkedPage.h"
#include "html/Url.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/TreeWriter.h"

namespace ts {

namespace {

// Only a URL that stands alone in an attribute (or a refresh) can be replaced as a whole.
const std::string* NewAddress(const CHtmlNode::CTag& tag, const NewAddressOf& moved) {
    if (tag.m_nKind != LK_EXTERNAL) return nullptr;
    return moved(tag.m_strUrl.Str());
}

bool Replaceable(const CHtmlNode::CTag& tag) {
    return tag.m_nSource == LinkSource::Attribute || tag.m_nSource == LinkSource::Refresh;
}

// The address in the attribute's own quoting.
std::string AttributeText(const std::string& url, LinkQuote quote) {
    std::string out;
    for (char c : url) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"' && quote == LinkQuote::Double)
            out += "&quot;";
        else if (c == '\'' && quote == LinkQuote::Single)
            out += "&#39;";
        else
            out += c;
    }
    return out;
}

// Whether c may still belong to the URL of an attribute quoted so; the fragment is kept.
bool InUrl(char c, LinkQuote quote) {
    if (c == '#') return false;
    if (quote == LinkQuote::Double) return c != '"';
    if (quote == LinkQuote::Single) return c != '\'';
    return !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '>');
}

// How many bytes in front of raw are not the URL's (the page wrote "//host/x" with no
// scheme, so the bytes before the record are the attribute's), or npos when raw does not
// read as the URL at all.
size_t KeptBytes(const std::string& raw, const std::string& url, size_t scheme) {
    std::string decoded;
    DecodeCharRefs(raw, decoded);
    std::erase_if(decoded, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
    if (decoded == url) return 0;
    if (decoded.size() >= scheme && raw.size() >= scheme &&
        decoded.substr(scheme) == url.substr(scheme))
        return scheme;
    return std::string::npos;
}

// A URL in a report line: decoded, and its controls escaped.
std::string Shown(std::string url) {
    DecodeUrl(url);
    return ShownName(url);
}

class CMovedProducer : public CContentProducer {
public:
    CMovedProducer(CHtmlNode& page, const NewAddressOf& moved) : m_page(page), m_moved(moved) {}

    Result Produce(CFile& in, CContentSink& out) override;
    std::function<void()> OnReplaced() override {
        return [changes = std::move(m_changes), shifts = std::move(m_shifts),
                report = std::move(m_strReport), &ctx = m_page.Ctx()]() mutable {
            ShiftRecords(shifts);
            for (Change& c : changes) {
                c.tag->m_strUrl = c.url;
                c.tag->m_nStart = c.start + static_cast<uint64_t>(SchemeLength(c.url));
                c.tag->m_nEnd = c.start + std::min(c.url.find('?'), c.url.size());
                c.tag->m_bRewritten = true;
            }
            ctx.statusReport << report;
        };
    }
    std::string Kind() const override { return "links"; }
    std::string UndoLines() const override { return m_strUndo; }
    bool Changed() const { return !m_strUndo.empty(); }

private:
    struct Change {
        CHtmlNode::CTag* tag;
        std::string url;
        uint64_t start;
    };
    CCopier::Result Replace(CHtmlNode::CTag& tag, const std::string& to, CCopier& copier,
                            CContentSink& out);

    CHtmlNode& m_page;
    const NewAddressOf& m_moved;
    std::vector<Change> m_changes;
    std::vector<RecordShift> m_shifts;
    std::string m_strLines, m_strUndoLines, m_strReport, m_strUndo;
};

CContentProducer::Result CMovedProducer::Produce(CFile& in, CContentSink& out) {
    if (!out.Begin()) return WRITE_FAILED;
    CCopier copier(in, out);
    for (CHtmlNode::CTag& tag : *m_page.m_pTags) {
        const std::string* to = NewAddress(tag, m_moved);
        CCopier::Result r = CCopier::OK;
        if (!to || !Replaceable(tag)) {
            if (to)
                m_strLines += Format(
                    "   line %4d: %s (left as written: not a whole URL of an "
                    "attribute)\n",
                    tag.m_nLine, Shown(tag.m_strUrl.Str()).c_str());
            NoteShift(tag, copier, out, m_shifts);
        } else {
            r = Replace(tag, *to, copier, out);
        }
        if (r != CCopier::OK) return r == CCopier::READ_FAILED ? READ_FAILED : WRITE_FAILED;
    }
    if (auto r = copier.To(UINT64_MAX, nullptr); r != CCopier::OK)
        return r == CCopier::READ_FAILED ? READ_FAILED : WRITE_FAILED;
    if (m_changes.empty()) {
        if (!m_strLines.empty())
            m_page.Ctx().statusReport << "\n" + m_page.InFileHeading() + "\n" + m_strLines;
        return NO_CHANGE;
    }
    m_strReport = "\n" + m_page.InFileHeading() + "\n" + m_strLines;
    m_strUndo = "\n" + m_page.InFileHeading() + "\n" + m_strUndoLines;
    return NEW_CONTENT;
}

// The record's text begins after the scheme and ends before the query; the URL as written
// runs from the scheme (when the page wrote one) to the fragment, and only when its bytes
// read as exactly the recorded URL is it replaced.
CCopier::Result CMovedProducer::Replace(CHtmlNode::CTag& tag, const std::string& to,
                                        CCopier& copier, CContentSink& out) {
    const std::string url = tag.m_strUrl.Str();
    const uint64_t scheme = static_cast<uint64_t>(SchemeLength(url));
    if (tag.m_nStart < scheme || tag.m_nStart - scheme < copier.Position()) {
        NoteShift(tag, copier, out, m_shifts);
        return CCopier::OK;
    }
    const uint64_t start = tag.m_nStart - scheme;
    if (auto r = copier.To(start, nullptr); r != CCopier::OK) return r;
    std::string raw;
    if (auto r = copier.To(tag.m_nEnd, &raw); r != CCopier::OK) return r;
    const LinkQuote quote = tag.m_nQuote;
    if (auto r = copier.While([quote](char c) { return InUrl(c, quote); }, raw); r != CCopier::OK)
        return r;
    const size_t keep = KeptBytes(raw, url, scheme);
    if (keep == std::string::npos) {
        m_strLines += Format("   line %4d: %s (left as written: its text is not the URL)\n",
                             tag.m_nLine, Shown(url).c_str());
        if (!out.Write(raw)) return CCopier::WRITE_FAILED;
        NoteShift(tag, copier, out, m_shifts);
        return CCopier::OK;
    }
    const std::string kept = raw.substr(0, keep);
    if (!out.Write(kept)) return CCopier::WRITE_FAILED;
    const uint64_t at = out.Position();
    if (!out.Write(AttributeText(to, quote))) return CCopier::WRITE_FAILED;
    m_strLines += Format("   line %4d: %s\n   -------->  %s\n", tag.m_nLine, Shown(url).c_str(),
                         Shown(to).c_str());
    m_strUndoLines += Format("   line %4d: %s\n   -------->  %s\n", tag.m_nLine, Shown(to).c_str(),
                             Shown(url).c_str());
    m_changes.push_back({&tag, to, at});
    return CCopier::OK;
}

}  // namespace

bool HasMovedLinks(const CHtmlNode& page, const NewAddressOf& moved) {
    if (!page.HasLinks() || !page.m_pTags) return false;
    return std::any_of(page.m_pTags->begin(), page.m_pTags->end(),
                       [&moved](const CHtmlNode::CTag& tag) { return NewAddress(tag, moved); });
}

int RewriteMovedLinks(CTreeWriter& writer, CHtmlNode& page, const NewAddressOf& moved,
                      ReadOnlyChoice& readOnly) {
    if (!HasMovedLinks(page, moved)) return 0;
    CFileNode* content = ContentToRewrite(writer, page, readOnly);
    if (!content) return 0;
    CMovedProducer producer(page, moved);
    return writer.ReplaceContent(*content, producer) && producer.Changed() ? 1 : 0;
}

}  // namespace ts
