#include "platform/SafeRewrite.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace ts {

CSafeRewrite::CSafeRewrite(CDir& dir, std::string target)
    : m_dir(dir), m_target(std::move(target)) {}

CSafeRewrite::~CSafeRewrite() {
    Abort();
}

CResult CSafeRewrite::Begin() {
    m_temp = m_dir.CreateTemp(".ts_", m_tempName);
    if (!m_temp) {
        CResult why = CResult::FromErrno();
        m_tempName.clear();
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
    m_nHash = ContentHash(data, n, m_nHash);
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
    CResult r = Finish(mode);
    if (r) {
        m_newId = m_temp->Id();
        r = m_temp->Close() ? CResult::Ok() : Failed(TEMP_WRITE, CResult::FromErrno());
    }
    m_temp.reset();
    if (r) {
        r = m_dir.Replace(m_tempName, m_target);
        if (!r) m_failure = COMMIT;
    }
    if (!r) {
        Abort();
        return r;
    }
    m_tempName.clear();
    return r;
}

CResult CSafeRewrite::Finish(unsigned mode) {
    CResult r = FlushBuffer();
    if (!r) return r;
    // A hole at the end is part of the length too.
    if (m_bHoles && !m_temp->Resize(m_nOut)) return Failed(TEMP_WRITE, CResult::FromErrno());
    if (!m_temp->Sync()) return Failed(TEMP_WRITE, CResult::FromErrno());
    // Owner and attributes first: a change of owner clears the set-id bits the mode may have.
    FileMetadata md;
    std::unique_ptr<CFile> opened;
    CFile* original = m_pOriginal;
    if (!original) {
        opened = m_dir.OpenRead(m_target);
        // A file made for the first time (a new profile) has nothing to keep, nor has a link
        // that the new file replaces.
        if (!opened && errno != ENOENT && errno != ELOOP)
            return Failed(METADATA, CResult::FromErrno());
        original = opened.get();
    }
    if (original && (!original->GetMetadata(md) || !m_temp->SetMetadata(md)))
        return Failed(METADATA, CResult::FromErrno());
    if (!m_temp->SetMode(mode)) return Failed(COMMIT, CResult::FromErrno());
    return CResult::Ok();
}

void CSafeRewrite::Abort() {
    m_buffer.clear();
    m_temp.reset();
    if (!m_tempName.empty()) {
        m_dir.Remove(m_tempName);
        m_tempName.clear();
    }
}

CResult RewriteWholeFile(CFileSystem& fs, const std::string& path, const std::string& content,
                         unsigned mode) {
    const std::string parent = DirName(path);
    std::unique_ptr<CDir> dir = fs.OpenDir(parent.empty() ? "." : parent);
    if (!dir) return CResult::FromErrno();
    CSafeRewrite out(*dir, BaseName(path));
    CResult r = out.Begin();
    if (r) r = out.Write(content);
    if (r) r = out.Commit(mode);
    return r;
}

}  // namespace ts
