#include "site/TreeWriter.h"

#include <unistd.h>

#include <cerrno>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/OwnFiles.h"

namespace ts {

bool CContentSink::Begin() {
    if (!m_bBegun) m_bBegun = m_out.Begin();
    return m_bBegun;
}

CTreeWriter::CTreeWriter(CRunContext& ctx) : m_ctx(ctx), m_handles(ctx.fs) {}

CTreeWriter::~CTreeWriter() = default;

CDir* CTreeWriter::DirOf(const CFileNode& node) {
    CDir* dir = nullptr;
    if (node.m_pParent) {
        dir = m_handles.Of(*node.m_pParent);
    } else {
        // A node made on its own, outside a tree, has no scanned directory to hold on to.
        const std::string parent = DirName(node.m_strPath);
        m_pLoose = m_ctx.fs.OpenDir(parent.empty() ? "." : parent);
        dir = m_pLoose.get();
    }
    if (!dir) {
        const bool moved = errno == ESTALE || errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
        m_ctx.ErrorLine(node.m_pParent ? node.m_pParent->m_strPath : node.m_strPath,
                        LoadString(moved ? IDS_CHANGED_SINCE_SCAN : IDS_OPEN_FAILED));
    }
    return dir;
}

bool CTreeWriter::IsScanned(CDir& dir, const CFileNode& node, FileStat& st) {
    if (!dir.Stat(node.Name(), st)) {
        m_ctx.ErrorLine(node.m_strPath,
                        LoadString(errno == ENOENT ? IDS_CHANGED_SINCE_SCAN : IDS_OPEN_FAILED));
        return false;
    }
    if (!(st.id == node.m_id)) {
        m_ctx.ErrorLine(node.m_strPath, LoadString(IDS_CHANGED_SINCE_SCAN));
        return false;
    }
    return true;
}

bool CTreeWriter::Rename(CFileNode& node, const std::string& strNewName) {
    const std::string oldFull = node.m_strPath;
    const std::string dirPath = node.m_pParent ? node.m_pParent->m_strPath : DirName(oldFull);
    const std::string newFull = JoinPath(dirPath, strNewName);
    CDir* dir = DirOf(node);
    FileStat st;
    if (!dir || !IsScanned(*dir, node, st)) return Failed();
    if (!dir->RenameNoReplace(node.Name(), strNewName)) {
        m_ctx.errorReport << FormatMessage(IDS_RENAME_FAILED, oldFull, newFull) << "\n";
        return Failed();
    }
    node.MovePath(newFull);
    return true;
}

bool CTreeWriter::SetMode(CFileNode& node, unsigned mode) {
    CDir* dir = DirOf(node);
    FileStat st;
    if (!dir || !IsScanned(*dir, node, st) || !dir->SetMode(node.Name(), mode)) return false;
    node.m_nMode = mode;
    if (mode & 0200) {
        node.m_dwAttributes &= ~FA_READONLY;
    } else {
        node.m_dwAttributes |= FA_READONLY;
    }
    return true;
}

bool CTreeWriter::MakeWritable(CFileNode& node) {
    if (!SetMode(node, node.m_nMode | 0200)) return false;
    node.m_bMadeWritable = true;
    return true;
}

bool CTreeWriter::RestoreReadOnly(CFileNode& node) {
    if (!node.m_bMadeWritable) return true;
    if (!SetMode(node, node.m_nMode & ~0200u)) {
        m_ctx.ErrorLine(node.m_strPath, LoadString(IDS_READ_ONLY_NOT_RESTORED));
        return Failed();
    }
    node.m_bMadeWritable = false;
    return true;
}

// The new content goes to a temporary file beside the original, which replaces the original
// in one step only when all of it was written.
bool CTreeWriter::ReplaceContent(CFileNode& node, CContentProducer& producer) {
    const std::string& path = node.m_strPath;
    CDir* dir = DirOf(node);
    FileStat st;
    if (!dir) return Failed();
    if (!dir->Stat(node.Name(), st) || st.kind != EntryKind::File) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return Failed();
    }
    // Left alone on purpose, like a read-only file the user chose to skip: no failure.
    if (st.isLink) {
        m_ctx.ErrorLine(path, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    std::unique_ptr<CFile> in = dir->OpenRead(node.Name());
    if (!in) {
        m_ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return Failed();
    }
    // What was opened, not only what the name showed a moment before, must be the scanned file.
    if (!(in->Id() == node.m_id)) {
        m_ctx.ErrorLine(path, LoadString(IDS_CHANGED_SINCE_SCAN));
        return Failed();
    }
    CSafeRewrite rewrite(*dir, node.Name());
    if (st.sparse) rewrite.KeepHoles();
    rewrite.KeepMetadataOf(*in);
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
    node.m_id = rewrite.NewId();
    producer.Replaced();
    return true;
}

bool CTreeWriter::Repoint(const CDirNode& dirNode, std::string_view name,
                          const std::string& strNewText) {
    const std::string path = JoinPath(dirNode.m_strPath, std::string(name));
    CDir* dir = m_handles.Of(dirNode);
    if (!dir || !dir->ReplaceLink(std::string(name), strNewText)) {
        m_ctx.ErrorLine(path, FormatMessage(IDS_LINK_REPOINT_FAILED, strNewText));
        return Failed();
    }
    // The new link is a new entry: a rename of it (undo) must find it as the scanned one.
    FileStat st;
    for (const auto& child : dirNode.Children())
        if (child->NameView() == name && dir->Stat(child->Name(), st)) child->m_id = st.id;
    return true;
}

std::unique_ptr<CFile> CTreeWriter::CreateOwnFile(const CDirNode& dirNode, std::string_view name) {
    CDir* dir = m_handles.Of(dirNode);
    return dir ? CreateInPlaceOf(*dir, std::string(name)) : nullptr;
}

bool CTreeWriter::RemoveOwnFile(const CDirNode& dirNode, std::string_view name) {
    CDir* dir = m_handles.Of(dirNode);
    return dir && dir->Remove(std::string(name));
}

bool CTreeWriter::RemoveLeftover(const CDirNode& dirNode, const std::string& name) {
    const int pid = LeftoverPid(name);
    CDir* dir = m_handles.Of(dirNode);
    FileStat st;
    if (pid == 0 || pid == ::getpid() || !dir || !dir->Stat(name, st)) return false;
    const bool link = name.starts_with(".ts_link_");
    const bool shape = link ? st.isLink : st.kind == EntryKind::File && !st.isLink && st.links == 1;
    if (!shape || st.uid != ::geteuid() || !ProcessEnded(pid)) return false;
    return dir->Remove(name);
}

namespace {

// Gives a file that other names share a copy of its own, by safe replacement.
bool Unshare(CDir& dir, const std::string& name) {
    FileStat st;
    std::unique_ptr<CFile> in = dir.OpenRead(name);
    if (!in || !dir.Stat(name, st) || st.isLink) return false;
    CSafeRewrite copy(dir, name);
    copy.KeepMetadataOf(*in);
    if (!copy.Begin()) return false;
    char buf[65536];
    long long n;
    while ((n = in->Read(buf, sizeof buf)) > 0)
        if (!copy.Write(buf, static_cast<size_t>(n))) return false;
    return n == 0 && copy.Commit(st.mode);
}

}  // namespace

std::unique_ptr<CFile> CTreeWriter::AppendOwnFile(const CDirNode& dirNode, std::string_view name) {
    CDir* dir = m_handles.Of(dirNode);
    if (!dir) return nullptr;
    const std::string file(name);
    std::unique_ptr<CFile> out = dir->OpenAppend(file);
    if (out || errno != EMLINK) return out;
    if (!Unshare(*dir, file)) return nullptr;
    return dir->OpenAppend(file);
}

}  // namespace ts
