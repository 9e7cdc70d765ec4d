#include "platform/SafeRewrite.h"

#include <algorithm>
#include <utility>

namespace ts {

CSafeRewrite::CSafeRewrite(CFileSystem& fs, std::string target)
    : m_fs(fs), m_target(std::move(target)) {}

CSafeRewrite::~CSafeRewrite() {
    Abort();
}

CResult CSafeRewrite::Begin() {
    std::string dir = DirName(m_target);
    if (dir.empty()) dir = ".";
    m_temp = m_fs.CreateTemp(dir, ".ts_", m_tempPath);
    if (!m_temp) {
        CResult why = CResult::FromErrno();
        m_tempPath.clear();
        return Failed(TEMP_CREATE, why);
    }
    return CResult::Ok();
}

CResult CSafeRewrite::Write(const void* data, size_t n) {
    constexpr size_t kBlock = 1 << 16;
    if (!m_temp) return Failed(TEMP_WRITE, CResult::Fail(EBADF));
    if (m_buffer.size() + n > kBlock) {
        CResult r = FlushBuffer();
        if (!r) return r;
    }
    if (n >= kBlock) {
        if (!WriteOut(static_cast<const char*>(data), n))
            return Failed(TEMP_WRITE, CResult::FromErrno());
    } else {
        m_buffer.append(static_cast<const char*>(data), n);
    }
    m_nWritten += n;
    return CResult::Ok();
}

CResult CSafeRewrite::FlushBuffer() {
    if (m_buffer.empty()) return CResult::Ok();
    if (!m_temp) return Failed(TEMP_WRITE, CResult::Fail(EBADF));
    if (!WriteOut(m_buffer.data(), m_buffer.size()))
        return Failed(TEMP_WRITE, CResult::FromErrno());
    m_buffer.clear();
    return CResult::Ok();
}

bool CSafeRewrite::WriteOut(const char* data, size_t n) {
    constexpr uint64_t kHole = 4096;
    const uint64_t end = m_nOut + n;
    while (m_bHoles && m_nOut < end) {
        // Whole aligned blocks of zeros are skipped; everything else is written.
        const uint64_t next = std::min(end, (m_nOut / kHole + 1) * kHole);
        const char* p = data + (n - (end - m_nOut));
        const size_t len = static_cast<size_t>(next - m_nOut);
        const bool hole = len == kHole && std::all_of(p, p + len, [](char c) { return c == 0; });
        if (hole ? !m_temp->Seek(next) : !m_temp->Write(p, len)) return false;
        m_nOut = next;
    }
    if (m_bHoles) return true;
    m_nOut = end;
    return m_temp->Write(data, n);
}

CResult CSafeRewrite::Failed(Failure failure, CResult why) {
    m_failure = failure;
    return why;
}

CResult CSafeRewrite::Commit(unsigned mode) {
    if (!m_temp) return Failed(TEMP_WRITE, CResult::Fail(EBADF));
    CResult r = FlushBuffer();
    if (!r) {
        Abort();
        return r;
    }
    // A hole at the end is part of the length too.
    if (m_bHoles && !m_temp->Resize(m_nOut)) {
        CResult why = CResult::FromErrno();
        m_failure = TEMP_WRITE;
        Abort();
        return why;
    }
    r = m_temp->Sync() ? CResult::Ok() : CResult::FromErrno();
    if (!m_temp->Close() && r) r = CResult::FromErrno();
    m_temp.reset();
    if (!r) {
        m_failure = TEMP_WRITE;
        Abort();
        return r;
    }
    // Owner and attributes first: a change of owner clears the set-id bits the mode may have.
    r = m_fs.KeepMetadata(m_target, m_tempPath);
    if (!r) {
        m_failure = METADATA;
        Abort();
        return r;
    }
    r = m_fs.SetMode(m_tempPath, mode);
    if (r) r = m_fs.ReplaceFile(m_tempPath, m_target);
    if (!r) {
        m_failure = COMMIT;
        Abort();
        return r;
    }
    m_tempPath.clear();
    return r;
}

void CSafeRewrite::Abort() {
    m_buffer.clear();
    m_temp.reset();
    if (!m_tempPath.empty()) {
        m_fs.Remove(m_tempPath);
        m_tempPath.clear();
    }
}

}  // namespace ts
