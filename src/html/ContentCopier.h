// Streams a file into its rewrite: the bytes up to an offset are copied, or taken out to be
// replaced. Every rewrite of links reads the old content this way, once, front to back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "html/HtmlNode.h"
#include "platform/FileSystem.h"
#include "site/TreeWriter.h"

namespace ts {

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
    // Takes out the bytes from here on while keep says so; the first byte it refuses stays.
    template <class Keep>
    Result While(Keep keep, std::string& captured) {
        for (;;) {
            if (m_begin == m_end) {
                long long n = m_in.Read(m_buf, sizeof m_buf);
                if (n < 0) return READ_FAILED;
                if (n == 0) return OK;
                m_begin = 0;
                m_end = static_cast<size_t>(n);
            }
            if (!keep(m_buf[m_begin])) return OK;
            captured += m_buf[m_begin++];
            ++m_pos;
        }
    }
    uint64_t Position() const { return m_pos; }

private:
    CFile& m_in;
    CContentSink& m_out;
    char m_buf[65536];
    size_t m_begin = 0, m_end = 0;
    uint64_t m_pos = 0;
};

// A link record behind a change of length: where its bytes lie in the new content.
struct RecordShift {
    CHtmlNode::CTag* tag;
    int64_t delta;
};

// Notes the shift of a record the rewrite copies unchanged, so that later rewrites of the run
// find its bytes; nothing while no change came before it.
inline void NoteShift(CHtmlNode::CTag& tag, const CCopier& copier, const CContentSink& out,
                      std::vector<RecordShift>& shifts) {
    const int64_t delta =
        static_cast<int64_t>(out.Position()) - static_cast<int64_t>(copier.Position());
    if (delta != 0) shifts.push_back({&tag, delta});
}

// Once the new content is in place.
inline void ShiftRecords(const std::vector<RecordShift>& shifts) {
    for (const RecordShift& s : shifts) {
        s.tag->m_nStart = static_cast<uint64_t>(static_cast<int64_t>(s.tag->m_nStart) + s.delta);
        s.tag->m_nEnd = static_cast<uint64_t>(static_cast<int64_t>(s.tag->m_nEnd) + s.delta);
    }
}

}  // namespace ts
