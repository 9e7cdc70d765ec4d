// Where the lines of a text file end, and which line an offset lies on. Line-end conversion and
// the HTML scanner both count lines this way, so a report's line numbers always agree with what
// a conversion would treat as a line.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ts {

class CFile;
class CFileNode;

// Finds line ends in a file fed to it in order, in pieces of any size. A CR LF pair is one line
// end, recorded at the CR; a lone CR or LF is one too. The file is examined in blocks of 512
// bytes counted from its start, and a NUL byte ends the text of its block: line ends after it
// in the same block are not recorded.
class CLineEndScanner {
public:
    static constexpr size_t kBlock = 512;
    // What is recorded for a line end: its first byte, or the first byte of the line after it
    // (which also gives columns: CLineCursor::ColumnOf).
    enum class Record { Ends, NextStarts };

    explicit CLineEndScanner(Record record = Record::Ends) : m_record(record) {}

    // Examines the next n bytes of the file and appends the offsets of the line ends found.
    void Feed(const unsigned char* p, size_t n, std::vector<uint64_t>& out);
    // Offset of the next byte to be fed.
    uint64_t Offset() const { return m_nOffset; }

private:
    Record m_record;
    uint64_t m_nOffset = 0;
    // The byte before was a recorded CR: an LF now completes its pair.
    bool m_bAfterCr = false;
    // A NUL was seen in the current block.
    bool m_bNulInBlock = false;
};

// The line number (from 1) of ascending offsets, from a table of line-end offsets in file order.
// The cursor only moves forward, so a whole file costs one pass over the table. Entries the
// cursor has passed may be dropped to keep the table short while a file is streamed.
class CLineCursor {
public:
    explicit CLineCursor(std::vector<uint64_t>& table) : m_table(table) {}

    // The line holding offset; offsets must not decrease from call to call.
    int LineOf(uint64_t offset) {
        while (m_nPassed < m_table.size() && m_table[m_nPassed] <= offset)
            ++m_nPassed;
        if (m_nPassed > 0) m_nLineStart = m_table[m_nPassed - 1];
        return m_nDropped + static_cast<int>(m_nPassed) + 1;
    }
    // The column (from 1, in bytes) of offset on its line, for a table of the starts of next
    // lines (CLineEndScanner::Record::NextStarts); the same rule for offsets as LineOf.
    int ColumnOf(uint64_t offset) {
        LineOf(offset);
        const uint64_t column = offset - m_nLineStart + 1;
        return column > INT32_MAX ? INT32_MAX : static_cast<int>(column);
    }
    // Removes the entries already passed from the table.
    void DropPassed();

private:
    std::vector<uint64_t>& m_table;
    size_t m_nPassed = 0;
    int m_nDropped = 0;
    uint64_t m_nLineStart = 0;  // the last entry passed, which DropPassed may have removed
};

// Records the offsets of a file's line ends in node.m_pLineEnds, the file's length last; a read
// that fails is reported and leaves no table.
bool BuildLineEndTable(CFileNode& node, CFile& file);

}  // namespace ts
