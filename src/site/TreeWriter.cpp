#include "site/TreeWriter.h"

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
        return false;
    }
    node.MovePath(newFull);
    return true;
}

bool CTreeWriter::MakeWritable(CFileNode& node) {
    if (!m_ctx.fs.SetMode(node.m_strPath, node.m_nMode | 0200)) return false;
    node.m_nMode |= 0200;
    node.m_dwAttributes &= ~FA_READONLY;
    return true;
}

// The new content goes to a temporary file beside the original, which replaces the original
// in one step only when all of it was written.
bool CTreeWriter::ReplaceContent(CFileNode& node, CContentProducer& producer) {
    const std::string& path = node.m_strPath;
    FileStat st;
    if (!m_ctx.fs.Stat(path, st) || st.kind != EntryKind::File) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return false;
    }
    if (st.isLink) {
        m_ctx.ErrorLine(path, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    std::unique_ptr<CFile> in = m_ctx.fs.OpenRead(path);
    if (!in) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return false;
    }
    CSafeRewrite rewrite(m_ctx.fs, path);
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
        return false;
    }
    in.reset();
    if (result == CContentProducer::NO_CHANGE) return true;
    if (!rewrite.Commit(st.mode)) {
        int id = rewrite.LastFailure() == CSafeRewrite::COMMIT ? IDS_UPDATE_FAILED_KEPT
                                                               : IDS_TEMP_WRITE_FAILED;
        m_ctx.ErrorLine(path, LoadString(id));
        return false;
    }
    producer.Replaced();
    return true;
}

bool CTreeWriter::Repoint(const CDirNode& dir, std::string_view name,
                          const std::string& strNewText) {
    const std::string path = JoinPath(dir.m_strPath, std::string(name));
    if (!m_ctx.fs.ReplaceLink(path, strNewText)) {
        m_ctx.ErrorLine(path, FormatMessage(IDS_LINK_REPOINT_FAILED, strNewText));
        return false;
    }
    return true;
}

std::unique_ptr<CFile> CTreeWriter::CreateOwnFile(const CDirNode& dir, std::string_view name) {
    return m_ctx.fs.OpenWrite(JoinPath(dir.m_strPath, std::string(name)));
}

bool CTreeWriter::RemoveOwnFile(const CDirNode& dir, std::string_view name) {
    return m_ctx.fs.Remove(JoinPath(dir.m_strPath, std::string(name)));
}

}  // namespace ts
