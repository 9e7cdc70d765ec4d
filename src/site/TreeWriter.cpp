#include "site/TreeWriter.h"

#include <cerrno>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

bool CContentSink::Begin() {
    if (!m_bBegun) m_bBegun = m_out.Begin();
    return m_bBegun;
}

bool CTreeWriter::Rename(CFileNode& node, const std::string& strNewName) {
    const std::string oldFull = node.m_strPath;
    const std::string dir = node.m_pParent ? node.m_pParent->m_strPath : DirName(oldFull);
    const std::string newFull = JoinPath(dir, strNewName);
    if (!m_ctx.fs.RenameNoReplace(oldFull, newFull)) {
        m_ctx.errorReport << FormatMessage(IDS_RENAME_FAILED, oldFull, newFull) << "\n";
        return Failed();
    }
    node.MovePath(newFull);
    return true;
}

bool CTreeWriter::MakeWritable(CFileNode& node) {
    if (!m_ctx.fs.SetMode(node.m_strPath, node.m_nMode | 0200)) return false;
    node.m_nMode |= 0200;
    node.m_dwAttributes &= ~FA_READONLY;
    node.m_bMadeWritable = true;
    return true;
}

bool CTreeWriter::RestoreReadOnly(CFileNode& node) {
    if (!node.m_bMadeWritable) return true;
    const unsigned mode = node.m_nMode & ~0200u;
    if (!m_ctx.fs.SetMode(node.m_strPath, mode)) {
        m_ctx.ErrorLine(node.m_strPath, LoadString(IDS_READ_ONLY_NOT_RESTORED));
        return Failed();
    }
    node.m_nMode = mode;
    node.m_dwAttributes |= FA_READONLY;
    node.m_bMadeWritable = false;
    return true;
}

// The new content goes to a temporary file beside the original, which replaces the original
// in one step only when all of it was written.
bool CTreeWriter::ReplaceContent(CFileNode& node, CContentProducer& producer) {
    const std::string& path = node.m_strPath;
    FileStat st;
    if (!m_ctx.fs.Stat(path, st) || st.kind != EntryKind::File) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return Failed();
    }
    // Left alone on purpose, like a read-only file the user chose to skip: no failure.
    if (st.isLink) {
        m_ctx.ErrorLine(path, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    std::unique_ptr<CFile> in = m_ctx.fs.OpenRead(path);
    if (!in) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return Failed();
    }
    CSafeRewrite rewrite(m_ctx.fs, path);
    if (st.sparse) rewrite.KeepHoles();
    CContentSink sink(rewrite);
    CContentProducer::Result result = producer.Produce(*in, sink);
    int failure = 0;
    if (result == CContentProducer::READ_FAILED) {
        failure = IDS_READ_FAILED;
    } else if (result == CContentProducer::WRITE_FAILED) {
        failure = rewrite.LastFailure() == CSafeRewrite::TEMP_CREATE ? IDS_TEMP_OPEN_FAILED
                                                                     : IDS_TEMP_WRITE_FAILED;
    }
    if (failure) {
        m_ctx.ErrorLine(path, LoadString(failure));
        return Failed();
    }
    in.reset();
    if (result == CContentProducer::NO_CHANGE) return true;
    // A new file would split the page from its other names, which would keep the old content.
    if (st.links > 1) {
        m_ctx.ErrorLine(path, LoadString(IDS_HARD_LINKED_SKIPPED));
        return Failed();
    }
    if (!rewrite.Commit(st.mode)) {
        const CSafeRewrite::Failure why = rewrite.LastFailure();
        const int id = why == CSafeRewrite::COMMIT     ? IDS_UPDATE_FAILED_KEPT
                       : why == CSafeRewrite::METADATA ? IDS_METADATA_NOT_KEPT
                                                       : IDS_TEMP_WRITE_FAILED;
        m_ctx.ErrorLine(path, LoadString(id));
        return Failed();
    }
    producer.Replaced();
    return true;
}

bool CTreeWriter::Repoint(const CDirNode& dir, std::string_view name,
                          const std::string& strNewText) {
    const std::string path = JoinPath(dir.m_strPath, std::string(name));
    if (!m_ctx.fs.ReplaceLink(path, strNewText)) {
        m_ctx.ErrorLine(path, FormatMessage(IDS_LINK_REPOINT_FAILED, strNewText));
        return Failed();
    }
    return true;
}

std::unique_ptr<CFile> CTreeWriter::CreateOwnFile(const CDirNode& dir, std::string_view name) {
    return CreateInPlaceOf(m_ctx.fs, JoinPath(dir.m_strPath, std::string(name)));
}

bool CTreeWriter::RemoveOwnFile(const CDirNode& dir, std::string_view name) {
    return m_ctx.fs.Remove(JoinPath(dir.m_strPath, std::string(name)));
}

namespace {

// Gives a file that other names share a copy of its own under path, by safe replacement.
bool Unshare(CFileSystem& fs, const std::string& path) {
    FileStat st;
    std::unique_ptr<CFile> in = fs.OpenRead(path);
    if (!in || !fs.Stat(path, st) || st.isLink) return false;
    CSafeRewrite copy(fs, path);
    if (!copy.Begin()) return false;
    char buf[65536];
    long long n;
    while ((n = in->Read(buf, sizeof buf)) > 0)
        if (!copy.Write(buf, static_cast<size_t>(n))) return false;
    return n == 0 && copy.Commit(st.mode);
}

}  // namespace

std::unique_ptr<CFile> CTreeWriter::AppendOwnFile(const CDirNode& dir, std::string_view name) {
    const std::string path = JoinPath(dir.m_strPath, std::string(name));
    std::unique_ptr<CFile> file = m_ctx.fs.OpenAppend(path);
    if (file || errno != EMLINK) return file;
    if (!Unshare(m_ctx.fs, path)) return nullptr;
    return m_ctx.fs.OpenAppend(path);
}

}  // namespace ts
