// The tag scanner and the pass that reads a page's links (see TagScanner.h).
#include "html/TagScanner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/Attributes.h"
#include "html/ResolveLink.h"
#include "site/DirNode.h"
#include "site/LineEndTable.h"

namespace ts {

namespace {

// Longer tags are reported and skipped, not examined.
constexpr size_t kMaxTag = 512;
constexpr size_t kReadSize = 64 * 1024;

enum class SyntaxMessage { NoClosing, NoStarting, BadFormat, TooLong };

// The status-report lines of one file. The scanner's own lines come first, then those of the
// tags' examination in tag order, as if every tag were examined after the scan. Lines are held
// back (a few bytes each) until the file has been read, so that a file that cannot be read
// reports only that; a file with a huge number of errors lets its scanner lines go early.
class CSyntaxLines {
public:
    CSyntaxLines(CReportStream& out, const std::string& path) : m_out(out), m_path(path) {}

    void Scan(int line, SyntaxMessage msg) {
        m_scan.push_back({line, msg});
        if (m_scan.size() >= kHoldBack) WriteScan();
    }
    void Tag(int line, SyntaxMessage msg) { m_tags.push_back({line, msg}); }
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
    std::string Line(const Pending& p) const {
        switch (p.msg) {
            case SyntaxMessage::NoClosing:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, no closing \">\"");
            case SyntaxMessage::NoStarting:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, no starting \"<\"");
            case SyntaxMessage::BadFormat:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, bad tag format");
            case SyntaxMessage::TooLong:
                return Format("line %4d%26s%s    %s\n", p.line, "", m_path.c_str(),
                              "tag > 512 characters, being skipped.");
        }
        return std::string();
    }

    CReportStream& m_out;
    const std::string& m_path;
    std::vector<Pending> m_scan;
    std::vector<Pending> m_tags;
    bool m_bWrittenEarly = false;
};

// Knows only "<", ">", "<!--" and "-->": no quoting, no element names. The buffer keeps the
// two bytes before the scan position (for the "--" before a ">"), three after a "<" (for
// "!--") and an open tag from its "<" while it can still be short enough to examine, so
// delimiters and tags that straddle two reads are seen whole.
class CTagScan {
public:
    CTagScan(CFile& file, const TagFound& onTag, const StrayFound& onStray)
        : m_file(file), m_onTag(onTag), m_onStray(onStray), m_cursor(m_table) {}

    bool Run() {
        long long fileLength = m_file.Length();
        if (fileLength < 0 || !m_file.Seek(0)) return false;
        m_nLength = static_cast<uint64_t>(fileLength);
        m_buf.resize(kReadSize + 2 * kMaxTag);
        for (;;) {
            const bool atEnd = m_nReadSoFar == m_nLength;
            const bool needMore = ExamineHeld(atEnd);
            if (atEnd && !needMore) return true;
            Compact();
            if (!ReadMore()) return false;
        }
    }

private:
    // Examines the bytes held from m_nPos on; true when it stopped at a "<" whose next three
    // bytes are not read yet.
    bool ExamineHeld(bool atEnd) {
        while (m_nPos < m_nUsed) {
            size_t i = m_nPos;
            while (i < m_nUsed && m_buf[i] != '<' && m_buf[i] != '>')
                ++i;
            if (i == m_nUsed) {
                m_nPos = m_nUsed;
                break;
            }
            if (m_buf[i] == '<') {
                if (!m_bComment && !atEnd && m_nUsed - i < 4) {
                    m_nPos = i;
                    return true;
                }
                OnOpen(i);
            } else {
                OnClose(i);
            }
            m_nPos = i + 1;
        }
        return false;
    }

    void OnOpen(size_t i) {
        if (m_bComment) return;
        if (m_bOpen) {
            m_onStray(m_nLine, StrayDelimiter::NoClosing);
            m_bOpen = false;
        }
        if (m_nUsed - i >= 4 && std::memcmp(&m_buf[i + 1], "!--", 3) == 0) {
            m_bComment = true;
        } else {
            const uint64_t offset = m_nBufOffset + i;
            m_bOpen = true;
            m_nTagStart = offset;
            m_nLine = m_cursor.LineOf(offset);
            m_nTagLine = m_nLine;
        }
    }

    void OnClose(size_t i) {
        const uint64_t offset = m_nBufOffset + i;
        if (m_bComment) {
            if (offset >= 2 && m_buf[i - 1] == '-' && m_buf[i - 2] == '-') m_bComment = false;
        } else if (m_bOpen) {
            EndTag(offset);
        } else {
            m_nLine = m_cursor.LineOf(offset);
            m_onStray(m_nLine, StrayDelimiter::NoStarting);
        }
    }

    void EndTag(uint64_t offset) {
        CHtmlNode::CTag tag;
        tag.m_nStart = m_nTagStart;
        tag.m_nEnd = offset;
        tag.m_nLine = m_nTagLine;
        m_bOpen = false;
        uint64_t tagLength = offset - m_nTagStart + 1;
        if (tagLength > kMaxTag) {
            m_onTag(tag, std::string_view(), true);
            return;
        }
        m_onTag(tag,
                std::string_view(&m_buf[static_cast<size_t>(m_nTagStart - m_nBufOffset)],
                                 static_cast<size_t>(tagLength)),
                false);
    }

    // Keeps what the next bytes may still need at the front of the buffer.
    void Compact() {
        size_t keep = m_nPos >= 2 ? m_nPos - 2 : 0;
        if (m_bOpen && m_nBufOffset + m_nPos - m_nTagStart < kMaxTag)
            keep = std::min(keep, static_cast<size_t>(m_nTagStart - m_nBufOffset));
        std::memmove(m_buf.data(), m_buf.data() + keep, m_nUsed - keep);
        m_nBufOffset += keep;
        m_nUsed -= keep;
        m_nPos -= keep;
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
    const TagFound& m_onTag;
    const StrayFound& m_onStray;
    uint64_t m_nLength = 0;
    uint64_t m_nReadSoFar = 0;

    std::vector<char> m_buf;
    uint64_t m_nBufOffset = 0;  // file offset of m_buf[0]
    size_t m_nUsed = 0;         // bytes held in m_buf
    size_t m_nPos = 0;          // next byte to examine

    CLineEndScanner m_lineEnds;
    std::vector<uint64_t> m_table;
    CLineCursor m_cursor;
    int m_nLine = 1;

    bool m_bComment = false;
    bool m_bOpen = false;
    uint64_t m_nTagStart = 0;
    int m_nTagLine = 0;
};

// The top directory's path as scanned: what a link that begins with "/" starts from.
std::string SiteRootOf(const CFileNode& node) {
    const CFileNode* top = &node;
    while (top->m_pParent)
        top = top->m_pParent;
    return top->OrigPath();
}

}  // namespace

bool ScanTags(CFile& file, const TagFound& onTag, const StrayFound& onStray) {
    return CTagScan(file, onTag, onStray).Run();
}

int ParseLinks(CHtmlNode& page) {
    if (page.m_nType != FT_HTML) return 0;
    CRunContext& ctx = page.Ctx();
    std::unique_ptr<CFile> file = ctx.fs.OpenRead(page.m_strPath);
    if (!file) {
        ctx.ErrorLine(page.m_strPath, LoadString(IDS_OPEN_FAILED));
        return 0;
    }
    // A file that cannot be read keeps no links and changes nothing else either.
    std::string oldBase = page.m_strBase;
    bool oldRewrite = page.m_bRewrite;
    const std::string& orig = page.OrigPath();
    page.m_strBase = orig.substr(0, orig.rfind(kPathSep) + 1);
    std::vector<std::string> oldBases = std::move(page.m_vBases);
    page.m_vBases.assign(1, page.m_strBase);
    CLinkBase base;
    base.strSiteRoot = SiteRootOf(page);

    auto tags = std::make_unique<std::vector<CHtmlNode::CTag>>();
    bool bSyntaxError = false;
    CSyntaxLines lines(ctx.statusReport, page.m_strPath);
    auto onTag = [&](const CHtmlNode::CTag& scanned, std::string_view text, bool tooLong) {
        if (tooLong) {
            lines.Tag(scanned.m_nLine, SyntaxMessage::TooLong);
            return;
        }
        // The attribute table sees the text up to a NUL byte, if any.
        text = text.substr(0, text.find('\0'));
        int errors = ExamineTag(page, scanned, text, base, *tags);
        for (int i = 0; i < errors; ++i)
            lines.Tag(scanned.m_nLine, SyntaxMessage::BadFormat);
        if (errors > 0) bSyntaxError = true;
    };
    auto onStray = [&](int line, StrayDelimiter stray) {
        lines.Scan(line, stray == StrayDelimiter::NoClosing ? SyntaxMessage::NoClosing
                                                            : SyntaxMessage::NoStarting);
        bSyntaxError = true;
    };
    bool ok = ScanTags(*file, onTag, onStray);
    file.reset();
    if (!ok) {
        ctx.ErrorLine(page.m_strPath, LoadString(IDS_READ_FAILED));
        page.m_pTags.reset();
        page.m_strBase = oldBase;
        page.m_vBases = std::move(oldBases);
        page.m_bRewrite = oldRewrite;
        return lines.WrittenEarly() && bSyntaxError ? 1 : 0;
    }
    lines.WriteAll();
    if (tags->empty())
        page.m_pTags.reset();
    else
        page.m_pTags = std::move(tags);
    return bSyntaxError ? 1 : 0;
}

}  // namespace ts
