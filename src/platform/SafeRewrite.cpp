#include "platform/SafeRewrite.h"

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
        if (!m_temp->Write(data, n)) return Failed(TEMP_WRITE, CResult::FromErrno());
    } else {
        m_buffer.append(static_cast<const char*>(data), n);
    }
    m_nWritten += n;
    return CResult::Ok();
}

CResult CSafeRewrite::FlushBuffer() {
    if (m_buffer.empty()) return CResult::Ok();
    if (!m_temp) return Failed(TEMP_WRITE, CResult::Fail(EBADF));
    if (!m_temp->Write(m_buffer.data(), m_buffer.size()))
        return Failed(TEMP_WRITE, CResult::FromErrno());
    m_buffer.clear();
    return CResult::Ok();
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
    r = m_temp->Sync() ? CResult::Ok() : CResult::FromErrno();
    if (!m_temp->Close() && r) r = CResult::FromErrno();
    m_temp.reset();
    if (!r) {
        m_failure = TEMP_WRITE;
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
