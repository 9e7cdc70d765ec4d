#include "platform/SafeRewrite.h"

#include <utility>

namespace ts {

CSafeRewrite::CSafeRewrite(CFileSystem& fs, std::string target)
    : m_fs(fs), m_target(std::move(target)) {}

CSafeRewrite::~CSafeRewrite() { Abort(); }

bool CSafeRewrite::Begin() {
    std::string dir = DirName(m_target);
    if (dir.empty()) dir = ".";
    m_temp = m_fs.CreateTemp(dir, ".ts_", m_tempPath);
    if (!m_temp) {
        m_tempPath.clear();
        m_failure = TEMP_CREATE;
        return false;
    }
    return true;
}

bool CSafeRewrite::Write(const void* data, size_t n) {
    constexpr size_t kBlock = 1 << 16;
    if (!m_temp) {
        m_failure = TEMP_WRITE;
        return false;
    }
    if (m_buffer.size() + n > kBlock && !FlushBuffer()) return false;
    if (n >= kBlock) {
        if (!m_temp->Write(data, n)) {
            m_failure = TEMP_WRITE;
            return false;
        }
    } else {
        m_buffer.append(static_cast<const char*>(data), n);
    }
    m_nWritten += n;
    return true;
}

bool CSafeRewrite::FlushBuffer() {
    if (m_buffer.empty()) return true;
    if (!m_temp || !m_temp->Write(m_buffer.data(), m_buffer.size())) {
        m_failure = TEMP_WRITE;
        return false;
    }
    m_buffer.clear();
    return true;
}

bool CSafeRewrite::Commit(unsigned mode) {
    if (!m_temp) {
        m_failure = TEMP_WRITE;
        return false;
    }
    if (!FlushBuffer()) {
        Abort();
        return false;
    }
    bool ok = m_temp->Sync();
    ok = m_temp->Close() && ok;
    m_temp.reset();
    if (!ok) {
        m_failure = TEMP_WRITE;
        Abort();
        return false;
    }
    if (!m_fs.SetMode(m_tempPath, mode) || !m_fs.ReplaceFile(m_tempPath, m_target)) {
        m_failure = COMMIT;
        Abort();
        return false;
    }
    m_tempPath.clear();
    return true;
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
