// Replaces a file's content without ever leaving it half-written: the new content goes to a
// temporary file in the same directory, which is synced, given the original's owner, group,
// extended attributes and permission bits and renamed over the original in one step. Until Commit
// succeeds the original is untouched; a rewrite that is abandoned removes its temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CSafeRewrite {
public:
    enum Failure { OK, TEMP_CREATE, TEMP_WRITE, METADATA, COMMIT };

    CSafeRewrite(CFileSystem& fs, std::string target);
    ~CSafeRewrite();
    CSafeRewrite(const CSafeRewrite&) = delete;
    CSafeRewrite& operator=(const CSafeRewrite&) = delete;

    // Creates the temporary file beside the target.
    CResult Begin();
    // Blocks of zeros become holes, as in a sparse original.
    void KeepHoles() { m_bHoles = true; }
    CResult Write(const void* data, size_t n);
    CResult Write(const std::string& s) { return Write(s.data(), s.size()); }
    // Bytes written so far: the offset of the next byte in the new content.
    uint64_t Position() const { return m_nWritten; }
    // Syncs, closes, gives the new content the target's owner, group and attributes and mode,
    // and renames it over the target.
    CResult Commit(unsigned mode);
    // Removes the temporary file; the target stays as it was.
    void Abort();

    Failure LastFailure() const { return m_failure; }

private:
    CResult FlushBuffer();
    // Writes to the temporary file, leaving holes for blocks of zeros when asked to.
    bool WriteOut(const char* data, size_t n);
    // Records why the rewrite failed.
    CResult Failed(Failure failure, CResult why);

    CFileSystem& m_fs;
    std::string m_target;
    std::string m_tempPath;
    std::unique_ptr<CFile> m_temp;
    uint64_t m_nWritten = 0;
    uint64_t m_nOut = 0;  // bytes handed to the temporary file, holes included
    bool m_bHoles = false;
    Failure m_failure = OK;
    // Small pieces (the text between two links) are gathered into whole blocks first.
    std::string m_buffer;
};

}  // namespace ts
