// Replaces a file's content without ever leaving it half-written: the new content goes to a
// temporary file in the same directory, which is synced, given the original's permission bits
// and renamed over the original in one step. Until Commit succeeds the original is untouched;
// a rewrite that is abandoned removes its temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CSafeRewrite {
public:
    enum Failure { OK, TEMP_CREATE, TEMP_WRITE, COMMIT };

    CSafeRewrite(CFileSystem& fs, std::string target);
    ~CSafeRewrite();
    CSafeRewrite(const CSafeRewrite&) = delete;
    CSafeRewrite& operator=(const CSafeRewrite&) = delete;

    // Creates the temporary file beside the target.
    CResult Begin();
    CResult Write(const void* data, size_t n);
    CResult Write(const std::string& s) { return Write(s.data(), s.size()); }
    // Bytes written so far: the offset of the next byte in the new content.
    uint64_t Position() const { return m_nWritten; }
    // Syncs, closes, sets the mode and renames the new content over the target.
    CResult Commit(unsigned mode);
    // Removes the temporary file; the target stays as it was.
    void Abort();

    Failure LastFailure() const { return m_failure; }

private:
    CResult FlushBuffer();
    // Records why the rewrite failed.
    CResult Failed(Failure failure, CResult why);

    CFileSystem& m_fs;
    std::string m_target;
    std::string m_tempPath;
    std::unique_ptr<CFile> m_temp;
    uint64_t m_nWritten = 0;
    Failure m_failure = OK;
    // Small pieces (the text between two links) are gathered into whole blocks first.
    std::string m_buffer;
};

}  // namespace ts
