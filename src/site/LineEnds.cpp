#include "site/LineEnds.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "site/FileNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"

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

// The converted text of a file. A file without line ends is left alone: its text is held back
// until the first line end shows that there is something to convert, or until there is much
// of it, and only then does the new content begin.
class CLineEndProducer : public CContentProducer {
public:
    CLineEndProducer(CFileNode& node, int nLineEnd)
        : m_node(node), m_nLineEnd(nLineEnd), m_rewriter(LineEndBytes(nLineEnd)) {}

    Result Produce(CFile& in, CContentSink& out) override;
    std::function<void()> OnReplaced() override {
        return [&node = m_node, lineEnd = m_nLineEnd, line = std::move(m_strLine)] {
            node.m_nLineEnd = lineEnd;
            node.Ctx().statusReport << line;
        };
    }
    std::string Kind() const override { return "line ends"; }
    std::string UndoLines() const override { return m_strUndoLine; }

private:
    CFileNode& m_node;
    int m_nLineEnd;
    CLineEndRewriter m_rewriter;
    std::string m_strLine;
    std::string m_strUndoLine;
};

CContentProducer::Result CLineEndProducer::Produce(CFile& in, CContentSink& out) {
    std::string pending;  // converted text not yet written
    std::vector<unsigned char> buf(512 * kBlock);
    for (;;) {
        long long n = in.Read(buf.data(), buf.size());
        if (n < 0) return READ_FAILED;
        if (n == 0) break;
        m_rewriter.Convert(buf.data(), static_cast<size_t>(n), pending);
        bool due = m_rewriter.LineEnds() > 0 || pending.size() > (1u << 20);
        if (!out.Begun() && due && !out.Begin()) return WRITE_FAILED;
        if (out.Begun()) {
            if (!out.Write(pending)) return WRITE_FAILED;
            pending.clear();
        }
    }
    if (m_rewriter.LineEnds() == 0) return NO_CHANGE;  // neither rewritten nor listed
    // Once the file has changed nothing may keep the node from saying so (undo relies on
    // it): what could fail for want of memory is done first.
    const std::string shown = ShownName(m_node.m_strPath);
    m_strLine =
        Format("%s -> %s:  ", FromName(m_node.m_nLineEnd), ToName(m_nLineEnd)) + shown + "\n";
    m_strUndoLine =
        Format("%s -> %s:  ", FromName(m_nLineEnd), ToName(m_node.m_nLineEnd)) + shown + "\n";
    return NEW_CONTENT;
}

}  // namespace

bool MarkLineEnd(CFileNode& node, int nLineEnd) {
    // A page in an 8-bit encoding is read for its links but converted only as binary: never.
    node.m_bMarked =
        node.m_nType > 0 && !node.m_bEightBit && !node.m_bExcluded && node.m_nLineEnd != nLineEnd;
    return node.m_bMarked;
}

int ConvertIfMarked(CTreeWriter& writer, CFileNode& node, int nLineEnd, ReadOnlyChoice& readOnly) {
    if (!node.m_bMarked) return 0;
    node.m_bMarked = false;
    if (!CheckReadOnly(writer, node, readOnly)) return 0;
    int result = ConvertLineEnds(writer, node, nLineEnd);
    if (result == 1) node.m_nLineEnd = nLineEnd;
    return result;
}

int RestoreLineEnd(CTreeWriter& writer, CFileNode& node) {
    if (node.m_nOrigLineEnd == node.m_nLineEnd) return 0;
    return ConvertLineEnds(writer, node, node.m_nOrigLineEnd);
}

int ConvertLineEnds(CTreeWriter& writer, CFileNode& node, int nLineEnd) {
    CLineEndProducer producer(node, nLineEnd);
    return writer.ReplaceContent(node, producer) ? 1 : 0;
}

}  // namespace ts
