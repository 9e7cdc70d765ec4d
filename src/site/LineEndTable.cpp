#include "site/LineEndTable.h"

#include <algorithm>
#include <cstring>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "site/FileNode.h"

namespace ts {

namespace {

// True when one of the eight bytes at p is below 14 ("\r" is 13): the borrow of a subtraction
// reaches the top bit of a byte only through such a byte, so the test is exact as a whole.
bool HasByteBelow14(const unsigned char* p) {
    uint64_t x;
    std::memcpy(&x, p, sizeof x);
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    return ((x - kOnes * 14) & ~x & (kOnes * 0x80)) != 0;
}

}  // namespace

void CLineEndScanner::Feed(const unsigned char* p, size_t n, std::vector<uint64_t>& out) {
    while (n > 0) {
        size_t inBlock = static_cast<size_t>(m_nOffset % kBlock);
        if (inBlock == 0) m_bNulInBlock = false;
        size_t take = std::min(n, kBlock - inBlock);
        if (m_bNulInBlock) {
            m_bAfterCr = false;
        } else {
            for (size_t i = 0; i < take; ++i) {
                // Eight bytes at a time while none is a control byte up to CR: most text has
                // one line end in dozens of bytes.
                while (i + 8 <= take && !HasByteBelow14(p + i)) {
                    m_bAfterCr = false;
                    i += 8;
                }
                if (i == take) break;
                unsigned char c = p[i];
                if (c > '\r') {
                    m_bAfterCr = false;
                } else if (c == '\n') {
                    if (!m_bAfterCr)
                        out.push_back(m_nOffset + i + (m_record == Record::NextStarts));
                    // The next line of a CR LF begins after the LF. The CR's entry is still
                    // there: no offset after it was examined before this byte was fed.
                    else if (m_record == Record::NextStarts && !out.empty())
                        ++out.back();
                    m_bAfterCr = false;
                } else if (c == '\r') {
                    out.push_back(m_nOffset + i + (m_record == Record::NextStarts));
                    m_bAfterCr = true;
                } else if (c == 0) {
                    m_bNulInBlock = true;
                    m_bAfterCr = false;
                    break;
                } else {
                    m_bAfterCr = false;
                }
            }
        }
        p += take;
        n -= take;
        m_nOffset += take;
    }
}

void CLineCursor::DropPassed() {
    if (m_nPassed == 0) return;
    m_table.erase(m_table.begin(), m_table.begin() + static_cast<std::ptrdiff_t>(m_nPassed));
    m_nDropped += static_cast<int>(m_nPassed);
    m_nPassed = 0;
}

// Physical reads are large; the 512-byte blocks that decide the NUL rule are the scanner's.
bool BuildLineEndTable(CFileNode& node, CFile& file) {
    if (node.m_pLineEnds)
        node.m_pLineEnds->clear();
    else
        node.m_pLineEnds = std::make_unique<std::vector<uint64_t>>();
    long long length = file.Length();
    bool ok = length >= 0 && file.Seek(0);
    CLineEndScanner scanner;
    std::vector<unsigned char> buffer(64 * 1024);
    uint64_t left = ok ? static_cast<uint64_t>(length) : 0;
    while (ok && left > 0) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        long long got = file.Read(buffer.data(), want);
        // A file that shrinks while it is read cannot give the length it promised.
        if (got <= 0) {
            ok = false;
            break;
        }
        scanner.Feed(buffer.data(), static_cast<size_t>(got), *node.m_pLineEnds);
        left -= static_cast<uint64_t>(got);
    }
    if (!ok) {
        node.m_pCtx->ErrorLine(node.m_strPath, LoadString(IDS_READ_FAILED));
        node.m_pLineEnds.reset();
        return false;
    }
    node.m_pLineEnds->push_back(static_cast<uint64_t>(length));
    return true;
}

}  // namespace ts
