// Line-end conversion of text files: marking the files whose convention differs, converting
// them safely, and converting them back on undo.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/SafeRewrite.h"
#include "site/FileNode.h"

namespace ts {
namespace {

// Names of the conventions in report lines, as the file was and as it becomes.
const char* FromName(int le) {
    switch (le) {
        case LE_DOS:
            return "DOS ";
        case LE_MAC:
            return "Mac ";
        default:
            return "UNIX";
    }
}

const char* ToName(int le) {
    switch (le) {
        case LE_DOS:
            return " DOS";
        case LE_MAC:
            return " Mac";
        default:
            return "UNIX";
    }
}

const char* LineEndBytes(int le) {
    switch (le) {
        case LE_DOS:
            return "\r\n";
        case LE_MAC:
            return "\r";
        default:
            return "\n";
    }
}

// Logical block size of the line-end rules: a NUL byte ends the search for line ends within
// its block of 512 bytes.
constexpr size_t kBlock = 512;

// Rewrites text in blocks: every CR LF pair, lone CR and lone LF before the first NUL of its
// 512-byte block becomes the new line end; every other byte is kept.
class CLineEndRewriter {
public:
    explicit CLineEndRewriter(const char* newEnd) : m_newEnd(newEnd) {}

    // Converts one physical buffer starting at a multiple of 512 in the file.
    void Convert(const unsigned char* data, size_t n, std::string& out) {
        for (size_t b = 0; b < n; b += kBlock) {
            size_t end = std::min(n, b + kBlock);
            const void* nul = std::memchr(data + b, 0, end - b);
            size_t z =
                nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - data) : end;
            size_t i = b;
            if (m_bAfterCr && data[i] == '\n') ++i;  // completes a CR LF already converted
            m_bAfterCr = false;
            while (i < z) {
                size_t p = i;
                while (p < z && data[p] != '\r' && data[p] != '\n')
                    ++p;
                out.append(reinterpret_cast<const char*>(data + i), p - i);
                if (p == z) {
                    i = z;
                    break;
                }
                out += m_newEnd;
                ++m_nLineEnds;
                i = p + 1;
                if (data[p] == '\r') {
                    if (i < end && data[i] == '\n')
                        ++i;
                    else if (i == end)
                        m_bAfterCr = true;
                }
            }
            // After a NUL the rest of the block is kept as it is, line ends included.
            out.append(reinterpret_cast<const char*>(data + i), end - i);
        }
    }
    long long LineEnds() const { return m_nLineEnds; }

private:
    const char* m_newEnd;
    bool m_bAfterCr = false;
    long long m_nLineEnds = 0;
};

}  // namespace

bool CFileNode::MarkLineEnd(int nLineEnd) {
    m_bMarked = m_nType > 0 && m_nLineEnd != nLineEnd;
    return m_bMarked;
}

int CFileNode::ConvertIfMarked(int nLineEnd, int* pAutoReadOnly) {
    if (!m_bMarked) return 0;
    m_bMarked = false;
    if (!CheckReadOnly(pAutoReadOnly)) return 0;
    int result = ConvertLineEnds(nLineEnd);
    if (result == 1) m_nLineEnd = nLineEnd;
    return result;
}

int CFileNode::RestoreLineEnd() {
    if (m_nOrigLineEnd == m_nLineEnd) return 0;
    return ConvertLineEnds(m_nOrigLineEnd);
}

// The new content goes to a temporary file beside the original, which replaces the original
// in one step only when all of it was written: any failure leaves the original as it was.
int CFileNode::ConvertLineEnds(int nLineEnd) {
    CRunContext& ctx = Ctx();
    CFileSystem& fs = ctx.fs;
    FileStat st;
    if (!fs.Stat(m_strPath, st) || st.kind != EntryKind::File) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_OPEN_FAILED));
        return 0;
    }
    if (st.isLink) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return 0;
    }
    auto in = fs.OpenRead(m_strPath);
    if (!in) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_OPEN_FAILED));
        return 0;
    }

    CLineEndRewriter rewriter(LineEndBytes(nLineEnd));
    CSafeRewrite out(fs, m_strPath);
    bool begun = false;
    std::string pending;  // converted text not yet written
    std::vector<unsigned char> buf(512 * kBlock);
    for (;;) {
        long long n = in->Read(buf.data(), buf.size());
        if (n < 0) {
            ctx.ErrorLine(m_strPath, LoadString(IDS_READ_FAILED));
            return 0;
        }
        if (n == 0) break;
        rewriter.Convert(buf.data(), static_cast<size_t>(n), pending);
        // A file without line ends is left alone; its text is held back until the first
        // line end shows that there is something to convert, or until there is much of it.
        if (!begun && (rewriter.LineEnds() > 0 || pending.size() > (1u << 20))) {
            if (!out.Begin()) {
                ctx.ErrorLine(m_strPath, LoadString(IDS_TEMP_OPEN_FAILED));
                return 0;
            }
            begun = true;
        }
        if (begun) {
            if (!out.Write(pending)) {
                ctx.ErrorLine(m_strPath, LoadString(IDS_TEMP_WRITE_FAILED));
                return 0;
            }
            pending.clear();
        }
    }
    in.reset();
    if (rewriter.LineEnds() == 0) return 1;  // nothing to do: neither rewritten nor listed

    // Once the file has changed nothing may keep the node from saying so (undo relies on it):
    // what could fail for want of memory is done first.
    std::string line =
        Format("%s -> %s:  ", FromName(m_nLineEnd), ToName(nLineEnd)) + m_strPath + "\n";
    if (!out.Commit(st.mode)) {
        int id = out.LastFailure() == CSafeRewrite::COMMIT ? IDS_UPDATE_FAILED_KEPT
                                                           : IDS_TEMP_WRITE_FAILED;
        ctx.ErrorLine(m_strPath, LoadString(id));
        return 0;
    }
    m_nLineEnd = nLineEnd;
    ctx.statusReport << line;
    return 1;
}

}  // namespace ts
