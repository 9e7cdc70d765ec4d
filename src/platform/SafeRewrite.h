// Replaces a file's content without ever leaving it half-written: the new content goes to a
// temporary file in the same directory, which is synced, given the original's owner, group,
// extended attributes and permission bits and renamed over the original in one step. Until Commit
// succeeds the original is untouched; a rewrite that is abandoned removes its temporary file.
// Everything happens in one open directory, so nothing is written anywhere else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ContentHash.h"
#include "platform/FileSystem.h"

namespace ts {

class CSafeRewrite {
public:
    enum Failure { OK, TEMP_CREATE, TEMP_WRITE, METADATA, COMMIT };

    // target is the name of the file in dir; dir must outlive the rewrite.
    CSafeRewrite(CDir& dir, std::string target);
    ~CSafeRewrite();
    CSafeRewrite(const CSafeRewrite&) = delete;
    CSafeRewrite& operator=(const CSafeRewrite&) = delete;

    // Creates the temporary file beside the target.
    CResult Begin();
    // Commit takes owner, group and attributes from original, already open, instead of opening
    // the target for them.
    void KeepMetadataOf(CFile& original) { m_pOriginal = &original; }
    // Blocks of zeros become holes, as in a sparse original.
    void KeepHoles() { m_bHoles = true; }
    CResult Write(const void* data, size_t n);
    CResult Write(const std::string& s) { return Write(s.data(), s.size()); }
    // Bytes written so far: the offset of the next byte in the new content.
    uint64_t Position() const { return m_nWritten; }
    // ContentHash of the bytes written so far: what a journal records of the new content.
    uint64_t Hash() const { return m_nHash; }
    // Syncs, closes, gives the new content the target's owner, group and attributes and mode,
    // and renames it over the target. A target that does not exist yet is simply created.
    CResult Commit(unsigned mode);
    // The file that now holds the target's content (after Commit).
    FileId NewId() const { return m_newId; }
    // The temporary file that is to take the target's place (after Begin).
    FileId TempId() const { return m_temp ? m_temp->Id() : FileId(); }
    // Removes the temporary file; the target stays as it was.
    void Abort();

    Failure LastFailure() const { return m_failure; }

private:
    CResult FlushBuffer();
    // Writes to the temporary file, leaving holes for blocks of zeros when asked to.
    bool WriteOut(const char* data, size_t n);
    // Records why the rewrite failed.
    CResult Failed(Failure failure, CResult why);

    // Syncs the temporary file and gives it the original's metadata and mode.
    CResult Finish(unsigned mode);

    CDir& m_dir;
    std::string m_target;
    std::string m_tempName;
    CFile* m_pOriginal = nullptr;
    FileId m_newId;
    std::unique_ptr<CFile> m_temp;
    uint64_t m_nWritten = 0;
    uint64_t m_nHash = kHashStart;
    uint64_t m_nOut = 0;  // bytes handed to the temporary file, holes included
    bool m_bHoles = false;
    Failure m_failure = OK;
    // Small pieces (the text between two links) are gathered into whole blocks first.
    std::string m_buffer;
};

// Replaces the file at path (outside any tree) with content in one step; a missing file is
// created with mode.
CResult RewriteWholeFile(CFileSystem& fs, const std::string& path, const std::string& content,
                         unsigned mode);

}  // namespace ts
