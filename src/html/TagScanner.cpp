// The tag scanner and the per-file pass "Checking URL Links": one streaming read of an HTML
// file finds its line ends, the boundaries of its tags and comments, reports syntax errors,
// and hands every tag of at most 512 characters to the attribute table while its text is
// still in the buffer, so a page is read once and never held whole.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/Attributes.h"
#include "html/HtmlNode.h"
#include "html/ResolveLink.h"
#include "site/DirNode.h"
#include "site/LineEndTable.h"

namespace ts {

namespace {

// Longer tags are reported and skipped, not examined.
constexpr size_t kMaxTag = 512;
constexpr size_t kReadSize = 64 * 1024;

enum SyntaxMessage { MSG_NO_CLOSING, MSG_NO_STARTING, MSG_BAD_FORMAT, MSG_TOO_LONG };

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
            case MSG_NO_CLOSING:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, no closing \">\"");
            case MSG_NO_STARTING:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, no starting \"<\"");
            case MSG_BAD_FORMAT:
                return Format("line %4d %-26s    %s\n", p.line, m_path.c_str(),
                              "HTML syntax error, bad tag format");
            case MSG_TOO_LONG:
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

// Called for every tag found, with its record (offsets of "<" and ">", line of "<") and its
// text from "<" to ">"; tooLong when the tag is longer than kMaxTag (the text is then empty).
using TagFound =
    std::function<void(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong)>;

// Knows only "<", ">", "<!--" and "-->": no quoting, no element names. The buffer keeps the
// two bytes before the scan position (for the "--" before a ">"), three after a "<" (for
// "!--") and an open tag from its "<" while it can still be short enough to examine, so
// delimiters and tags that straddle two reads are seen whole.
bool ScanTags(CFile& file, CSyntaxLines& lines, int& bSyntaxError, const TagFound& onTag) {
    long long fileLength = file.Length();
    if (fileLength < 0 || !file.Seek(0)) return false;
    const uint64_t length = static_cast<uint64_t>(fileLength);

    std::vector<char> buf(kReadSize + 2 * kMaxTag);
    uint64_t bufOffset = 0;  // file offset of buf[0]
    size_t used = 0;         // bytes held in buf
    size_t pos = 0;          // next byte to examine
    uint64_t readSoFar = 0;

    CLineEndScanner lineEnds;
    std::vector<uint64_t> table;
    CLineCursor cursor(table);
    int line = 1;

    bool comment = false;
    bool open = false;
    uint64_t tagStart = 0;
    int tagLine = 0;

    for (;;) {
        const bool atEnd = readSoFar == length;
        bool needMore = false;
        while (pos < used) {
            size_t i = pos;
            while (i < used && buf[i] != '<' && buf[i] != '>')
                ++i;
            if (i == used) {
                pos = used;
                break;
            }
            const uint64_t offset = bufOffset + i;
            if (buf[i] == '<') {
                if (comment) {
                    pos = i + 1;
                    continue;
                }
                if (!atEnd && used - i < 4) {
                    pos = i;
                    needMore = true;
                    break;
                }
                if (open) {
                    lines.Scan(line, MSG_NO_CLOSING);
                    bSyntaxError = 1;
                    open = false;
                }
                if (used - i >= 4 && std::memcmp(&buf[i + 1], "!--", 3) == 0) {
                    comment = true;
                } else {
                    open = true;
                    tagStart = offset;
                    line = cursor.LineOf(offset);
                    tagLine = line;
                }
            } else if (comment) {
                if (offset >= 2 && buf[i - 1] == '-' && buf[i - 2] == '-') comment = false;
            } else if (open) {
                CHtmlNode::CTag tag;
                tag.m_nStart = tagStart;
                tag.m_nEnd = offset;
                tag.m_nLine = tagLine;
                open = false;
                uint64_t tagLength = offset - tagStart + 1;
                if (tagLength > kMaxTag)
                    onTag(tag, std::string_view(), true);
                else
                    onTag(tag,
                          std::string_view(&buf[static_cast<size_t>(tagStart - bufOffset)],
                                           static_cast<size_t>(tagLength)),
                          false);
            } else {
                line = cursor.LineOf(offset);
                lines.Scan(line, MSG_NO_STARTING);
                bSyntaxError = 1;
            }
            pos = i + 1;
        }
        if (atEnd && !needMore) return true;  // an open tag or comment is dropped silently

        // Keep what the next bytes may still need, then read on.
        size_t keep = pos >= 2 ? pos - 2 : 0;
        if (open && bufOffset + pos - tagStart < kMaxTag)
            keep = std::min(keep, static_cast<size_t>(tagStart - bufOffset));
        std::memmove(buf.data(), buf.data() + keep, used - keep);
        bufOffset += keep;
        used -= keep;
        pos -= keep;
        size_t want =
            static_cast<size_t>(std::min<uint64_t>(buf.size() - used, length - readSoFar));
        long long got = file.Read(buf.data() + used, want);
        // Fewer bytes than the length promised: the file changed or cannot be read.
        if (got <= 0) return false;
        lineEnds.Feed(reinterpret_cast<const unsigned char*>(buf.data() + used),
                      static_cast<size_t>(got), table);
        cursor.DropPassed();
        used += static_cast<size_t>(got);
        readSoFar += static_cast<uint64_t>(got);
    }
}

}  // namespace

int CHtmlNode::ParseLinks() {
    if (m_nType != FT_HTML) return 0;
    CRunContext& ctx = Ctx();
    std::unique_ptr<CFile> file = ctx.fs.OpenRead(m_strPath);
    if (!file) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_OPEN_FAILED));
        return 0;
    }
    // A file that cannot be read keeps no links and changes nothing else either.
    std::string oldBase = m_strBase;
    int oldRewrite = m_bRewrite;
    const std::string& orig = OrigPath();
    m_strBase = orig.substr(0, orig.rfind(kPathSep) + 1);
    std::vector<std::string> oldBases = std::move(m_vBases);
    m_vBases.assign(1, m_strBase);
    CLinkBase base;
    const CFileNode* top = this;
    while (top->m_pParent)
        top = top->m_pParent;
    base.strSiteRoot = top->OrigPath();

    auto tags = std::make_unique<std::vector<CTag>>();
    int bSyntaxError = 0;
    CSyntaxLines lines(ctx.statusReport, m_strPath);
    bool ok = ScanTags(*file, lines, bSyntaxError,
                       [&](const CTag& scanned, std::string_view text, bool tooLong) {
                           if (tooLong) {
                               lines.Tag(scanned.m_nLine, MSG_TOO_LONG);
                               return;
                           }
                           // The attribute table sees the text up to a NUL byte, if any.
                           text = text.substr(0, text.find('\0'));
                           int errors = ExamineTag(*this, scanned, text, base, *tags);
                           for (int i = 0; i < errors; ++i)
                               lines.Tag(scanned.m_nLine, MSG_BAD_FORMAT);
                           if (errors > 0) bSyntaxError = 1;
                       });
    file.reset();
    if (!ok) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_READ_FAILED));
        m_pTags.reset();
        m_strBase = oldBase;
        m_vBases = std::move(oldBases);
        m_bRewrite = oldRewrite;
        return lines.WrittenEarly() ? bSyntaxError : 0;
    }
    lines.WriteAll();
    if (tags->empty())
        m_pTags.reset();
    else
        m_pTags = std::move(tags);
    return bSyntaxError;
}

}  // namespace ts
