// The tag scanner and the pass that reads a page's links (see TagScanner.h).
#include "html/TagScanner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Findings.h"
#include "base/PageOutput.h"
#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/Attributes.h"
#include "html/CssLinks.h"
#include "html/Fragments.h"
#include "html/LinkedPage.h"
#include "html/ResolveLink.h"
#include "html/TagTokenizer.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/LineEndTable.h"

namespace ts {

namespace {

constexpr size_t kReadSize = 64 * 1024;
// Room kept in front of a read: the bytes after a "<" that decide what it opens, and a short
// open tag. The buffer grows beyond it only while a longer tag is open.
constexpr size_t kSlack = 1024;

enum class SyntaxMessage { NoClosing, NoStarting, BadFormat, TooLong, WideCharset };

// The status-report lines of one file. The scanner's own lines come first, then those of the
// tags' examination in tag order, as if every tag were examined after the scan. Lines are held
// back (a few bytes each) until the file has been read, so that a file that cannot be read
// reports only that; a file with a huge number of errors lets its scanner lines go early.
class CSyntaxLines {
public:
    CSyntaxLines(CReportStream& out, const std::string& path, CFindings* findings)
        : m_out(out), m_path(path), m_findings(findings) {}

    void Scan(int line, int column, SyntaxMessage msg) {
        m_scan.push_back({line, column, msg});
        if (m_scan.size() >= kHoldBack) WriteScan();
    }
    void Tag(int line, int column, SyntaxMessage msg) { m_tags.push_back({line, column, msg}); }
    // Drops every line held back and writes this one alone.
    void Only(int line, int column, SyntaxMessage msg) {
        m_scan.clear();
        m_tags.clear();
        m_out << Line({line, column, msg});
    }
    // True when some lines had to be written before the end of the file.
    bool WrittenEarly() const { return m_bWrittenEarly; }
    void WriteAll() {
        WriteScan();
        std::string text;
        for (const Pending& p : m_tags)
            text += Line(p);
        m_out << text;
        m_tags.clear();
    }

private:
    static constexpr size_t kHoldBack = 64 * 1024;
    struct Pending {
        int line;
        int column;
        SyntaxMessage msg;
    };

    void WriteScan() {
        if (!m_scan.empty()) m_bWrittenEarly = true;
        std::string text;
        for (const Pending& p : m_scan)
            text += Line(p);
        m_out << text;
        m_scan.clear();
    }
    static std::string Message(SyntaxMessage msg) {
        switch (msg) {
            case SyntaxMessage::NoClosing:
                return "HTML syntax error, no closing \">\"";
            case SyntaxMessage::NoStarting:
                return "HTML syntax error, no starting \"<\"";
            case SyntaxMessage::BadFormat:
                return "HTML syntax error, bad tag format";
            case SyntaxMessage::WideCharset:
                return LoadString(IDS_WIDE_CHARSET);
            case SyntaxMessage::TooLong:
                return "tag > 512 characters, being skipped.";
        }
        return std::string();
    }
    // The report line, recorded as a finding too when findings are kept.
    std::string Line(const Pending& p) {
        const std::string message = Message(p.msg);
        if (m_findings) {
            Finding f;
            f.kind = FindingKind::SyntaxError;
            f.file = m_path;
            f.line = p.line;
            f.column = p.column;
            f.message = message;
            m_findings->Add(std::move(f));
        }
        const std::string path = ShownName(m_path);
        if (p.msg == SyntaxMessage::TooLong)
            return Format("line %4d%26s%s    %s\n", p.line, "", path.c_str(), message.c_str());
        return Format("line %4d %-26s    %s\n", p.line, path.c_str(), message.c_str());
    }

    CReportStream& m_out;
    const std::string& m_path;
    CFindings* m_findings;
    std::vector<Pending> m_scan;
    std::vector<Pending> m_tags;
    bool m_bWrittenEarly = false;
};

// Elements whose content is text up to their own end tag: no tag inside is a tag.
constexpr std::string_view kRawText[] = {"script",  "style",    "xmp",      "iframe",
                                         "noembed", "noframes", "textarea", "title"};

enum class Mode : unsigned char { Text, Tag, Comment, Bogus, RawText, Plain };

// The states of a browser's tokenizer that matter for links. The buffer keeps the three bytes
// before the scan position (for the "--" or "--!" before a comment's ">"), the bytes after a
// "<" that decide what it opens, and an open tag from its "<" while it can still be short
// enough to examine (growing for it up to kMaxTagLength), so delimiters and tags that straddle
// two reads are seen whole.
class CTagScan {
public:
    CTagScan(CFile& file, CScanEvents& events, ScanMode mode)
        : m_file(file), m_events(events), m_cursor(m_table) {
        if (mode == ScanMode::StyleSheet) {
            m_mode = Mode::Plain;
            m_bStyle = true;
        }
    }

    bool Run() {
        long long fileLength = m_file.Length();
        if (fileLength < 0 || !m_file.Seek(0)) return false;
        m_nLength = static_cast<uint64_t>(fileLength);
        m_buf.resize(kReadSize + kSlack);
        m_events.m_pLines = &m_cursor;
        for (;;) {
            const bool atEnd = m_nReadSoFar == m_nLength;
            const bool needMore = ExamineHeld(atEnd);
            if (atEnd && !needMore) break;
            Compact();
            if (!ReadMore()) return false;
        }
        // A browser drops a tag the file ends in, and every link it holds.
        if (m_mode == Mode::Tag)
            m_events.Stray(m_nTagLine, m_nTagColumn, StrayDelimiter::NoClosing);
        if (m_bStyle && m_mode != Mode::Text) m_events.StyleEnd();
        return true;
    }

private:
    uint64_t OffsetOf(size_t i) const { return m_nBufOffset + i; }

    // Examines the bytes held from m_nPos on; true when it stopped where the next bytes, not
    // read yet, decide what comes.
    bool ExamineHeld(bool atEnd) {
        while (m_nPos < m_nUsed) {
            switch (m_mode) {
                case Mode::Text:
                    if (InText(atEnd)) return true;
                    break;
                case Mode::Tag:
                    InTag();
                    break;
                case Mode::Comment:
                    InComment();
                    break;
                case Mode::Bogus:
                    InBogus();
                    break;
                case Mode::RawText:
                    if (InRawText(atEnd)) return true;
                    break;
                case Mode::Plain:
                    Style(m_nPos, m_nUsed);
                    m_nPos = m_nUsed;
                    break;
            }
        }
        return false;
    }

    // A "<" opens something only before a letter, "/", "!" or "?"; otherwise it is text.
    bool InText(bool atEnd) {
        const char* b = m_buf.data();
        const void* lt = std::memchr(b + m_nPos, '<', m_nUsed - m_nPos);
        if (!lt) {
            m_nPos = m_nUsed;
            return false;
        }
        const size_t i = static_cast<size_t>(static_cast<const char*>(lt) - b);
        if (m_nUsed - i < 4 && !atEnd) {
            m_nPos = i;
            return true;
        }
        const char c1 = At(i + 1), c2 = At(i + 2);
        m_nPos = i + 1;
        if (IsAsciiLetter(c1)) {
            BeginTag(i, false);
        } else if (c1 == '/') {
            if (IsAsciiLetter(c2))
                BeginTag(i, true);
            else if (c2 == '>')
                m_nPos = i + 3;  // "</>" is dropped
            else if (i + 2 < m_nUsed)
                Begin(Mode::Bogus, i + 2);
        } else if (c1 == '!') {
            if (c2 == '-' && At(i + 3) == '-') {
                m_nCommentFrom = OffsetOf(i + 2);
                Begin(Mode::Comment, i + 4);
            } else {
                Begin(Mode::Bogus, i + 2);
            }
        } else if (c1 == '?') {
            Begin(Mode::Bogus, i + 2);
        }
        return false;
    }

    char At(size_t i) const { return i < m_nUsed ? m_buf[i] : '\0'; }

    void Begin(Mode mode, size_t pos) {
        m_mode = mode;
        m_nPos = std::min(pos, m_nUsed);
    }

    void BeginTag(size_t i, bool endTag) {
        m_nTagStart = OffsetOf(i);
        m_nTagLine = m_cursor.LineOf(m_nTagStart);
        m_nTagColumn = m_cursor.ColumnOf(m_nTagStart);
        m_bEndTag = endTag;
        m_bQuoteSeen = false;
        m_state = TagState::Name;
        m_nName = 0;
        Begin(Mode::Tag, i + (endTag ? 2 : 1));
    }

    void InTag() {
        const char* b = m_buf.data();
        size_t i = m_nPos;
        while (i < m_nUsed) {
            if (m_state == TagState::ValueDouble || m_state == TagState::ValueSingle) {
                // A quoted value ends at its quote only: "<" and ">" inside are text.
                const char q = m_state == TagState::ValueDouble ? '"' : '\'';
                const void* close = std::memchr(b + i, q, m_nUsed - i);
                if (!close) break;
                i = static_cast<size_t>(static_cast<const char*>(close) - b) + 1;
                m_state = TagState::AfterValue;
                continue;
            }
            const char c = b[i];
            if (c == '<' && !m_bEndTag)
                m_events.Stray(m_nTagLine, m_nTagColumn, StrayDelimiter::NoClosing);
            const TagState next = NextTagState(m_state, c);
            if ((c == '"' || c == '\'') && !m_bEndTag && !m_bQuoteSeen) QuoteOutOfPlace(next);
            if (m_state == TagState::Name && next == TagState::Name && m_nName <= sizeof m_name) {
                if (m_nName < sizeof m_name) m_name[m_nName] = LowerAscii(c);
                ++m_nName;
            }
            m_state = next;
            if (m_state == TagState::Done) {
                m_nPos = i + 1;
                EndTag(OffsetOf(i));
                return;
            }
            ++i;
        }
        m_nPos = m_nUsed;
    }

    // A quote that a name or an unquoted value takes in: the sign of a value whose closing
    // quote is missing, which took in the tags after it.
    void QuoteOutOfPlace(TagState next) {
        if (next != TagState::AttrName && next != TagState::ValueUnquoted) return;
        m_bQuoteSeen = true;
        m_events.Stray(m_nTagLine, m_nTagColumn, StrayDelimiter::Quote);
    }

    void EndTag(uint64_t offset) {
        CHtmlNode::CTag tag;
        tag.m_nStart = m_nTagStart;
        tag.m_nEnd = offset;
        tag.m_nLine = m_nTagLine;
        tag.SetColumn(m_nTagColumn);
        m_mode = Mode::Text;
        uint64_t tagLength = offset - m_nTagStart + 1;
        if (tagLength > kMaxTagLength)
            m_events.Tag(tag, std::string_view(), true);
        else
            m_events.Tag(tag,
                         std::string_view(&m_buf[static_cast<size_t>(m_nTagStart - m_nBufOffset)],
                                          static_cast<size_t>(tagLength)),
                         false);
        if (!m_bEndTag) EnterContent();
    }

    // After a start tag: the content of a raw-text element is read up to its end tag.
    void EnterContent() {
        std::string_view name(m_name, std::min(m_nName, sizeof m_name));
        if (m_nName > sizeof m_name) return;
        if (name == "plaintext") {
            m_mode = Mode::Plain;
            return;
        }
        for (std::string_view raw : kRawText) {
            if (name != raw) continue;
            m_mode = Mode::RawText;
            m_nRaw = raw.size();
            m_bStyle = raw == "style";
            return;
        }
    }

    // A comment ends at "-->" or "--!>"; its opening dashes count, so "<!-->" ends at once.
    void InComment() {
        const char* b = m_buf.data();
        size_t i = m_nPos;
        while (const void* gt = std::memchr(b + i, '>', m_nUsed - i)) {
            i = static_cast<size_t>(static_cast<const char*>(gt) - b);
            const uint64_t o = OffsetOf(i);
            if ((o >= m_nCommentFrom + 2 && b[i - 1] == '-' && b[i - 2] == '-') ||
                (o >= m_nCommentFrom + 3 && b[i - 1] == '!' && b[i - 2] == '-' &&
                 b[i - 3] == '-')) {
                Begin(Mode::Text, i + 1);
                return;
            }
            if (++i >= m_nUsed) break;
        }
        m_nPos = m_nUsed;
    }

    void InBogus() {
        const void* gt = std::memchr(m_buf.data() + m_nPos, '>', m_nUsed - m_nPos);
        if (!gt)
            m_nPos = m_nUsed;
        else
            Begin(Mode::Text, static_cast<size_t>(static_cast<const char*>(gt) - m_buf.data()) + 1);
    }

    // True when the bytes at i are the element's end tag: "</", its name in any case, then
    // white space, "/" or ">".
    bool IsEndOfRaw(size_t i) const {
        if (m_buf[i + 1] != '/') return false;
        for (size_t k = 0; k < m_nRaw; ++k)
            if (LowerAscii(m_buf[i + 2 + k]) != m_name[k]) return false;
        const char c = m_buf[i + 2 + m_nRaw];
        return IsHtmlSpace(c) || c == '/' || c == '>';
    }

    bool InRawText(bool atEnd) {
        const char* b = m_buf.data();
        const size_t from = m_nPos;
        const void* lt = std::memchr(b + from, '<', m_nUsed - from);
        if (!lt) {
            Style(from, m_nUsed);
            m_nPos = m_nUsed;
            return false;
        }
        const size_t i = static_cast<size_t>(static_cast<const char*>(lt) - b);
        const size_t need = m_nRaw + 3;
        Style(from, i);
        m_nPos = i;
        if (m_nUsed - i < need) {
            if (!atEnd) return true;
        } else if (IsEndOfRaw(i)) {
            if (m_bStyle) m_events.StyleEnd();
            m_bStyle = false;
            BeginTag(i, true);
            return false;
        }
        Style(i, i + 1);
        m_nPos = i + 1;
        return false;
    }

    void Style(size_t from, size_t to) {
        if (m_bStyle && to > from)
            m_events.StyleText(m_buf.data() + from, to - from, OffsetOf(from));
    }

    // Keeps what the next bytes may still need at the front of the buffer, and room for a read
    // after it.
    void Compact() {
        size_t keep = m_nPos >= 3 ? m_nPos - 3 : 0;
        if (m_mode == Mode::Tag && m_nBufOffset + m_nPos - m_nTagStart < kMaxTagLength)
            keep = std::min(keep, static_cast<size_t>(m_nTagStart - m_nBufOffset));
        std::memmove(m_buf.data(), m_buf.data() + keep, m_nUsed - keep);
        m_nBufOffset += keep;
        m_nUsed -= keep;
        m_nPos -= keep;
        if (m_buf.size() - m_nUsed < kReadSize)
            m_buf.resize(std::max(2 * m_buf.size(), m_nUsed + kReadSize));
    }

    bool ReadMore() {
        size_t want = static_cast<size_t>(
            std::min<uint64_t>(m_buf.size() - m_nUsed, m_nLength - m_nReadSoFar));
        long long got = m_file.Read(m_buf.data() + m_nUsed, want);
        // Fewer bytes than the length promised: the file changed or cannot be read.
        if (got <= 0) return false;
        m_lineEnds.Feed(reinterpret_cast<const unsigned char*>(m_buf.data() + m_nUsed),
                        static_cast<size_t>(got), m_table);
        m_cursor.DropPassed();
        m_nUsed += static_cast<size_t>(got);
        m_nReadSoFar += static_cast<uint64_t>(got);
        return true;
    }

    CFile& m_file;
    CScanEvents& m_events;
    uint64_t m_nLength = 0;
    uint64_t m_nReadSoFar = 0;

    std::vector<char> m_buf;
    uint64_t m_nBufOffset = 0;  // file offset of m_buf[0]
    size_t m_nUsed = 0;         // bytes held in m_buf
    size_t m_nPos = 0;          // next byte to examine

    CLineEndScanner m_lineEnds{CLineEndScanner::Record::NextStarts};
    std::vector<uint64_t> m_table;
    CLineCursor m_cursor;

    Mode m_mode = Mode::Text;
    TagState m_state = TagState::Name;
    bool m_bEndTag = false;
    bool m_bStyle = false;      // raw text that is style, handed on as such
    bool m_bQuoteSeen = false;  // the open tag's quote out of place was reported
    uint64_t m_nTagStart = 0;
    int m_nTagLine = 0;
    int m_nTagColumn = 0;
    uint64_t m_nCommentFrom = 0;  // offset of the first dash of "<!--"
    char m_name[10] = {};         // the start of the tag's name, lower case
    size_t m_nName = 0;           // its length; more than 10 names no raw-text element
    size_t m_nRaw = 0;            // length of the raw-text element's name
};

// The top directory's path as scanned: what a link that begins with "/" starts from.
std::string SiteRootOf(const CFileNode& node) {
    const CFileNode* top = &node;
    while (top->m_pParent)
        top = top->m_pParent;
    return top->OrigPath();
}

// A page's links in the order they stand: attributes of tags and the URLs of style elements.
class CPageEvents : public CScanEvents, private CCssSink {
public:
    CPageEvents(CHtmlNode& page, CSyntaxLines& lines, std::vector<CHtmlNode::CTag>& tags)
        : m_page(page), m_lines(lines), m_tags(tags), m_css(*this) {
        m_base.strSiteRoot = SiteRootOf(page);
    }

    void Tag(const CHtmlNode::CTag& scanned, std::string_view text, bool tooLong) override {
        if (tooLong) {
            m_lines.Tag(scanned.m_nLine, scanned.m_nColumn, SyntaxMessage::TooLong);
            return;
        }
        // The attribute table sees the text up to a NUL byte, if any.
        text = text.substr(0, text.find('\0'));
        CTagExam exam;
        ExamineTag(m_page, scanned, text, m_base, m_tags, m_pLines, &exam);
        for (int i = 0; i < exam.nErrors; ++i)
            m_lines.Tag(scanned.m_nLine, scanned.m_nColumn, SyntaxMessage::BadFormat);
        if (exam.nErrors > 0) m_bSyntaxError = true;
        if (exam.bWideCharset && m_nWideLine == 0) {
            m_nWideLine = scanned.m_nLine;
            m_nWideColumn = scanned.m_nColumn;
        }
    }
    void Stray(int line, int column, StrayDelimiter stray) override {
        // A quote out of place is a fault of the tag's format: its line comes in tag order,
        // with those of the tags' examination.
        if (stray == StrayDelimiter::Quote)
            m_lines.Tag(line, column, SyntaxMessage::BadFormat);
        else
            m_lines.Scan(line, column,
                         stray == StrayDelimiter::NoClosing ? SyntaxMessage::NoClosing
                                                            : SyntaxMessage::NoStarting);
        m_bSyntaxError = true;
    }
    void StyleText(const char* p, size_t n, uint64_t offset) override { m_css.Feed(p, n, offset); }
    void StyleEnd() override { m_css.Finish(); }

    bool SyntaxError() const { return m_bSyntaxError; }
    // The line of the meta tag that declared a wide encoding; 0 when none did.
    int WideLine() const { return m_nWideLine; }
    int WideColumn() const { return m_nWideColumn; }

private:
    void CssLink(const CCssLink& link) override {
        CHtmlNode::CTag tag;
        if (!MakeLinkRecord(link.strUrl, link.nStart, link.strUrl, tag)) return;
        tag.m_nLine = LineOf(link.nStart);
        tag.SetColumn(ColumnOf(link.nStart));
        tag.m_nQuote = link.nQuote;
        tag.m_nSource = link.nSource;
        if (ResolveLink(m_page, tag, m_base)) m_tags.push_back(std::move(tag));
    }

    CHtmlNode& m_page;
    CSyntaxLines& m_lines;
    std::vector<CHtmlNode::CTag>& m_tags;
    CCssScanner m_css;
    CLinkBase m_base;
    bool m_bSyntaxError = false;
    int m_nWideLine = 0;
    int m_nWideColumn = 0;
};

class CFunctionEvents : public CScanEvents {
public:
    CFunctionEvents(const TagFound& onTag, const StrayFound& onStray)
        : m_onTag(onTag), m_onStray(onStray) {}
    void Tag(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong) override {
        m_onTag(tag, text, tooLong);
    }
    void Stray(int line, int column, StrayDelimiter stray) override {
        m_onStray(line, column, stray);
    }

private:
    const TagFound& m_onTag;
    const StrayFound& m_onStray;
};

}  // namespace

int CScanEvents::LineOf(uint64_t offset) {
    return m_pLines ? m_pLines->LineOf(offset) : 1;
}

int CScanEvents::ColumnOf(uint64_t offset) {
    return m_pLines ? m_pLines->ColumnOf(offset) : 0;
}

bool ScanTags(CFile& file, CScanEvents& events, ScanMode mode) {
    return CTagScan(file, events, mode).Run();
}

bool ScanTags(CFile& file, const TagFound& onTag, const StrayFound& onStray) {
    CFunctionEvents events(onTag, onStray);
    return ScanTags(file, events);
}

int ReadPageLinks(CHtmlNode& page, const CPageOutput& out, bool& read) {
    read = false;
    // An excluded page is not read: its links are not followed.
    if (!page.HasLinks() || page.m_bExcluded) return 0;
    CRunContext& ctx = page.Ctx();
    std::unique_ptr<CFile> file = ctx.fs.OpenRead(page.m_strPath);
    if (!file) {
        out.Problem(page.m_strPath, FailureText(IDS_OPEN_FAILED, errno));
        page.m_bUnreadable = true;
        return 0;
    }
    // A reading makes the page's link state anew; a file that cannot be read whole gets back
    // the one it had.
    CPageLinks before = page.TakeLinks();
    const std::string& orig = page.OrigPath();
    page.m_strBase = orig.substr(0, orig.rfind(kPathSep) + 1);
    page.m_vBases.assign(1, page.m_strBase);

    auto tags = std::make_unique<std::vector<CHtmlNode::CTag>>();
    if (ctx.links.checkFragments && page.m_nType == FT_HTML)
        page.m_pAnchors = std::make_unique<std::vector<std::string>>();
    CSyntaxLines lines(out.status, page.m_strPath, out.findings);
    CPageEvents events(page, lines, *tags);
    // A style sheet has no HTML syntax: its links are all it has.
    const bool sheet = page.m_nType != FT_HTML;
    bool ok = ScanTags(*file, events, sheet ? ScanMode::StyleSheet : ScanMode::Page);
    file.reset();
    if (!ok) {
        out.Problem(page.m_strPath, LoadString(IDS_READ_FAILED));
        page.RestoreLinks(std::move(before));
        page.m_bUnreadable = true;
        return lines.WrittenEarly() && events.SyntaxError() ? 1 : 0;
    }
    if (events.WideLine() > 0) {
        // Its links are in an encoding the scanner does not read: they would be misread. It
        // keeps none, only its own directory for its base.
        lines.Only(events.WideLine(), events.WideColumn(), SyntaxMessage::WideCharset);
        std::string dir = std::move(page.m_vBases.front());
        page.RestoreLinks(CPageLinks());
        page.m_strBase = std::move(dir);
        return 1;
    }
    lines.WriteAll();
    if (page.m_pAnchors) SortAnchors(*page.m_pAnchors);
    std::vector<std::string>().swap(page.m_vBases);
    if (tags->empty()) {
        page.m_pTags.reset();
    } else {
        // Kept for every later pass: without the room a growing vector keeps in reserve.
        tags->shrink_to_fit();
        page.m_pTags = std::move(tags);
    }
    read = true;
    return events.SyntaxError() ? 1 : 0;
}

void FinishPageLinks(CHtmlNode& page, bool read) {
    if (read && page.m_bLink) ClaimLinkedContent(page);
}

int ParseLinks(CHtmlNode& page) {
    CRunContext& ctx = page.Ctx();
    bool read = false;
    const int result = ReadPageLinks(page, CPageOutput::Of(ctx), read);
    FinishPageLinks(page, read);
    return result;
}

}  // namespace ts
