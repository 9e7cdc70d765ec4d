#include "site/TreeWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/Process.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/OwnFiles.h"

namespace ts {

namespace {

// A batch of in-place changes waits for the disk once; these bound what it holds in memory and
// in open files.
constexpr size_t kBatchFiles = 128;
constexpr uint64_t kBatchBytes = 8u << 20;
// Content larger than this goes through a temporary file rather than memory.
constexpr size_t kInMemoryLimit = 8u << 20;

}  // namespace

bool CContentSink::Begin() {
    if (!m_bBegun) m_bBegun = InMemory() || m_out.Begin();
    return m_bBegun;
}

bool CContentSink::Write(const void* data, size_t n) {
    if (!InMemory()) return m_out.Write(data, n);
    m_pMemory->append(static_cast<const char*>(data), n);
    if (m_pMemory->size() <= m_nLimit) return true;
    m_bSpilled = true;
    if (!m_out.Begin() || !m_out.Write(*m_pMemory)) return false;
    std::string().swap(*m_pMemory);
    return true;
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
        m_ctx.ErrorLine(
            node.m_pParent ? node.m_pParent->m_strPath : node.m_strPath,
            moved ? LoadString(IDS_CHANGED_SINCE_SCAN) : FailureText(IDS_OPEN_FAILED, errno));
    }
    return dir;
}

bool CTreeWriter::IsScanned(CDir& dir, const CFileNode& node, FileStat& st) {
    if (!dir.Stat(node.Name(), st)) {
        m_ctx.ErrorLine(node.m_strPath, errno == ENOENT ? LoadString(IDS_CHANGED_SINCE_SCAN)
                                                        : FailureText(IDS_OPEN_FAILED, errno));
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
    if (m_pJournal && !m_renamesAhead.count(&node)) {
        JournalRecord r = RecordOf(JournalRecord::RENAME, node);
        r.after = strNewName;
        if (!Journal(r, true, oldFull)) return Failed();
    }
    if (!dir->RenameNoReplace(node.Name(), strNewName)) {
        m_ctx.errorReport << FormatMessage(IDS_RENAME_FAILED, ShownName(oldFull),
                                           ShownName(newFull))
                          << "\n";
        return Failed();
    }
    node.MovePath(newFull);
    return true;
}

bool CTreeWriter::SetMode(CFileNode& node, unsigned mode) {
    CDir* dir = DirOf(node);
    FileStat st;
    if (!dir || !IsScanned(*dir, node, st)) return false;
    if (m_pJournal) {
        JournalRecord r = RecordOf(JournalRecord::MODE, node);
        r.oldMode = st.mode;
        r.newMode = mode;
        if (!Journal(r, true, node.m_strPath)) return false;
    }
    if (!dir->SetMode(node.Name(), mode)) return false;
    node.m_nMode = mode;
    if (mode & 0200) {
        node.m_dwAttributes &= ~FA_READONLY;
    } else {
        node.m_dwAttributes |= FA_READONLY;
    }
    return true;
}

bool CTreeWriter::MakeWritable(CFileNode& node) {
    return SetMode(node, node.m_nMode | 0200);
}

// Without a journal, the new content goes to a temporary file beside the original, which
// replaces the original in one step only when all of it was written.
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
    // Holes would be filled by a change in place.
    if (m_pJournal && !st.sparse) return ReplaceInPlace(node, producer, *dir, st);
    std::unique_ptr<CFile> in = OpenScanned(*dir, node, false);
    if (!in) return Failed();
    CSafeRewrite rewrite(*dir, node.Name());
    if (st.sparse) rewrite.KeepHoles();
    rewrite.KeepMetadataOf(*in);
    CContentSink sink(rewrite);
    CContentProducer::Result result = producer.Produce(*in, sink);
    if (!Produced(result, rewrite, path)) return Failed();
    if (result == CContentProducer::NO_CHANGE) return true;
    // A new file would split the page from its other names, which would keep the old content.
    if (!MayReplace(st, path)) return Failed();
    if (m_pJournal && !JournalRewrite(node, producer, *in, st, rewrite)) return Failed();
    if (!CommitRewrite(node, rewrite, st.mode)) return Failed();
    producer.OnReplaced()();
    return true;
}

std::unique_ptr<CFile> CTreeWriter::OpenScanned(CDir& dir, const CFileNode& node, bool modify) {
    std::unique_ptr<CFile> file = modify ? dir.OpenModify(node.Name()) : dir.OpenRead(node.Name());
    if (!file) {
        m_ctx.ErrorLine(node.m_strPath, FailureText(IDS_OPEN_FAILED, errno));
        return nullptr;
    }
    // What was opened, not only what the name showed a moment before, must be the scanned file.
    if (!(file->Id() == node.m_id)) {
        m_ctx.ErrorLine(node.m_strPath, LoadString(IDS_CHANGED_SINCE_SCAN));
        return nullptr;
    }
    return file;
}

bool CTreeWriter::Produced(CContentProducer::Result result, const CSafeRewrite& rewrite,
                           const std::string& path) {
    int failure = 0;
    if (result == CContentProducer::READ_FAILED) {
        failure = IDS_READ_FAILED;
    } else if (result == CContentProducer::WRITE_FAILED) {
        failure = rewrite.LastFailure() == CSafeRewrite::TEMP_CREATE ? IDS_TEMP_OPEN_FAILED
                                                                     : IDS_TEMP_WRITE_FAILED;
    }
    if (failure) m_ctx.ErrorLine(path, LoadString(failure));
    return failure == 0;
}

bool CTreeWriter::MayReplace(const FileStat& st, const std::string& path) {
    if (st.links <= 1) return true;
    m_ctx.ErrorLine(path, LoadString(IDS_HARD_LINKED_SKIPPED));
    return false;
}

bool CTreeWriter::ContentRecord(const CFileNode& node, const CContentProducer& producer,
                                CFile& original, const FileStat& st, JournalRecord& r) {
    r = RecordOf(JournalRecord::CONTENT, node);
    r.oldTime = st.mtimeNs;
    r.after = producer.Kind();
    r.before = producer.UndoLines();
    if (m_pJournal->KeepOriginal(original, r.offset, r.length)) return true;
    m_ctx.ErrorLine(node.m_strPath, LoadString(IDS_JOURNAL_FAILED));
    return false;
}

bool CTreeWriter::JournalRewrite(const CFileNode& node, const CContentProducer& producer,
                                 CFile& original, const FileStat& st, const CSafeRewrite& rewrite) {
    JournalRecord r;
    if (!ContentRecord(node, producer, original, st, r)) return false;
    r.newId = rewrite.TempId();
    // Undo gives the original back only over this very content: without it, undo would take
    // the run's own content for a later edit and keep it.
    r.newLength = rewrite.Position();
    r.newHash = rewrite.Hash();
    return Journal(r, true, node.m_strPath);
}

bool CTreeWriter::CommitRewrite(CFileNode& node, CSafeRewrite& rewrite, unsigned mode) {
    if (!rewrite.Commit(mode)) {
        const CSafeRewrite::Failure why = rewrite.LastFailure();
        const int id = why == CSafeRewrite::COMMIT     ? IDS_UPDATE_FAILED_KEPT
                       : why == CSafeRewrite::METADATA ? IDS_METADATA_NOT_KEPT
                                                       : IDS_TEMP_WRITE_FAILED;
        m_ctx.ErrorLine(node.m_strPath, LoadString(id));
        return false;
    }
    node.m_id = rewrite.NewId();
    return true;
}

// The file keeps its inode, and with it owner, group, attributes and mode. The new content
// waits in memory for its batch: its original is kept in the journal first, and the journal
// reaches the disk once for the whole batch (Flush).
bool CTreeWriter::ReplaceInPlace(CFileNode& node, CContentProducer& producer, CDir& dir,
                                 const FileStat& st) {
    const std::string& path = node.m_strPath;
    // A change still waiting may be to this very file: what is read must be what it holds.
    if (std::any_of(m_pending.begin(), m_pending.end(),
                    [&](const PendingWrite& w) { return w.path == path; }) &&
        !Flush())
        return Failed();
    std::unique_ptr<CFile> file = OpenScanned(dir, node, true);
    if (!file) return Failed();
    CSafeRewrite rewrite(dir, node.Name());
    rewrite.KeepMetadataOf(*file);
    std::string content;
    CContentSink sink(rewrite, &content, kInMemoryLimit);
    const CContentProducer::Result result = producer.Produce(*file, sink);
    if (!Produced(result, rewrite, path)) return Failed();
    if (result == CContentProducer::NO_CHANGE) return true;
    // A change in place would reach the file's other names too.
    if (!MayReplace(st, path)) return Failed();
    if (!sink.InMemory()) {
        if (!JournalRewrite(node, producer, *file, st, rewrite) ||
            !CommitRewrite(node, rewrite, st.mode))
            return Failed();
        producer.OnReplaced()();
        return true;
    }
    // The room is set aside first, so that the write cannot find the disk full once the batch
    // is committed.
    if (!file->Reserve(content.size())) {
        m_ctx.ErrorLine(path, LoadString(IDS_UPDATE_FAILED_KEPT));
        return Failed();
    }
    JournalRecord r;
    if (!ContentRecord(node, producer, *file, st, r)) return Failed();
    r.newLength = content.size();
    r.newHash = ContentHash(content.data(), content.size());
    if (!Journal(r, false, path)) return Failed();
    m_nPendingBytes += content.size();
    m_pending.push_back(
        {std::move(file), std::move(content), path, producer.OnReplaced(), r.offset, r.length});
    if (m_pending.size() >= kBatchFiles || m_nPendingBytes >= kBatchBytes) Flush();
    return true;
}

bool CTreeWriter::Repoint(const CDirNode& dirNode, std::string_view name,
                          const std::string& strNewText) {
    const std::string path = JoinPath(dirNode.m_strPath, std::string(name));
    CDir* dir = m_handles.Of(dirNode);
    if (dir && m_pJournal) {
        JournalRecord r;
        r.kind = JournalRecord::LINK;
        r.dir = RelativePath(dirNode);
        r.dirId = dirNode.m_id;
        r.name = name;
        r.after = strNewText;
        FileStat st;
        if (dir->Stat(r.name, st)) {
            r.id = r.newId = st.id;
            r.oldTime = st.mtimeNs;
        }
        if (!dir->ReadLink(r.name, r.before) || !Journal(r, true, path)) return Failed();
    }
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

void CTreeWriter::UseJournal(CRunJournal* journal, const CDirNode* top) {
    m_pJournal = top ? journal : nullptr;
    m_pTop = top;
}

std::string CTreeWriter::RelativePath(const CDirNode& dir) const {
    const std::string& top = m_pTop->m_strPath;
    if (&dir == m_pTop || dir.m_strPath.size() <= top.size()) return std::string();
    return dir.m_strPath.substr(top.size() + 1);
}

JournalRecord CTreeWriter::RecordOf(JournalRecord::Kind kind, const CFileNode& node) const {
    JournalRecord r;
    r.kind = kind;
    if (node.m_pParent) {
        r.dir = RelativePath(*node.m_pParent);
        r.dirId = node.m_pParent->m_id;
    }
    r.name = node.Name();
    r.id = r.newId = node.m_id;
    return r;
}

bool CTreeWriter::Journal(const JournalRecord& r, bool commit, const std::string& path) {
    if (!m_pJournal->Record(r) || (commit && !m_pJournal->Commit())) {
        m_ctx.ErrorLine(path, LoadString(IDS_JOURNAL_FAILED));
        return false;
    }
    ++m_nJournaled;
    return true;
}

// Top down, as the renaming pass goes, each entry in the directory named as it will be once
// the directories above it have their new names.
bool CTreeWriter::JournalRenames(const CDirNode& top) {
    if (!m_pJournal) return true;
    std::vector<std::pair<const CDirNode*, std::string>> dirs{{&top, RelativePath(top)}};
    int recorded = 0;
    while (!dirs.empty()) {
        auto [dir, rel] = dirs.back();
        dirs.pop_back();
        for (const auto& child : dir->Children()) {
            const std::string& newName = child->m_strNewName;
            const std::string& name = newName.empty() ? child->Name() : newName;
            if (child->IsDirNode())
                dirs.emplace_back(static_cast<const CDirNode*>(child.get()),
                                  rel.empty() ? name : rel + "/" + name);
            if (newName.empty()) continue;
            JournalRecord r = RecordOf(JournalRecord::RENAME, *child);
            r.dir = rel;
            r.after = newName;
            if (!m_pJournal->Record(r)) return false;
            m_renamesAhead.insert(child.get());
            ++recorded;
        }
    }
    m_nJournaled += recorded;
    if (recorded == 0 || m_pJournal->Commit()) return true;
    m_renamesAhead.clear();
    return false;
}

bool CTreeWriter::WriteInPlace(PendingWrite& w) {
    CFile& f = *w.file;
    bool written = false;
    try {
        written =
            f.Seek(0) && f.Write(w.content.data(), w.content.size()) && f.Resize(w.content.size());
    } catch (...) {
        // The run ends here; the file must not stay half written meanwhile.
        try {
            RestoreOriginal(w);
        } catch (...) {
        }
        throw;
    }
    if (written) {
        w.replaced();
        return true;
    }
    m_ctx.ErrorLine(w.path,
                    LoadString(RestoreOriginal(w) ? IDS_UPDATE_FAILED_KEPT : IDS_LEFT_DAMAGED));
    return Failed();
}

// The original is on the disk in the journal: the file gets it back at once.
bool CTreeWriter::RestoreOriginal(PendingWrite& w) {
    CFile& f = *w.file;
    return f.Seek(0) && m_pJournal->CopyOriginal(w.offset, w.length, f) && f.Resize(w.length);
}

bool CTreeWriter::Flush() {
    if (!m_pJournal || m_pending.empty()) return true;
    std::vector<PendingWrite> batch;
    batch.swap(m_pending);
    m_nPendingBytes = 0;
    if (!m_pJournal->Commit()) {
        for (const PendingWrite& w : batch) {
            m_ctx.ErrorLine(w.path, LoadString(IDS_JOURNAL_FAILED));
            Failed();
        }
        return false;
    }
    bool ok = true;
    for (PendingWrite& w : batch)
        ok = WriteInPlace(w) && ok;
    // One flush of the file system for the whole batch, then the mark that says the batch is
    // on the disk: undo trusts a change before the mark only while the file still holds it.
    // A batch with a failed write is marked cut: its files go back whatever they hold.
    CDir* top = m_handles.Of(*m_pTop);
    JournalRecord written;
    written.kind = JournalRecord::WRITTEN;
    if (!ok) written.after = "cut";
    const bool synced = ok && top && top->SyncAll();
    // Changes the disk may not hold are no work done: the batch gets no mark, so undo gives its
    // files back whatever they hold.
    if (ok && !synced) {
        m_ctx.ErrorLine(m_pTop->m_strPath, FailureText(IDS_SYNC_FAILED, errno));
        ok = Failed();
    }
    if (!ok || synced) m_pJournal->Record(written);
    return ok;
}

bool CTreeWriter::EndJournal(const char* state) {
    // A run that changed nothing leaves no journal to end.
    if (!m_pJournal || m_nJournaled == 0) return true;
    const bool flushed = Flush();
    JournalRecord end;
    end.kind = JournalRecord::END;
    end.after = state;
    CDir* top = m_handles.Of(*m_pTop);
    // The end is recorded only once everything the run changed is on the disk.
    const bool synced = top && top->SyncAll();
    return flushed && synced && m_pJournal->Record(end) && m_pJournal->Commit();
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
    if (!HasLeftoverShape(name, st) || !ProcessEnded(pid)) return false;
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

namespace ts {

bool CTreeWriter::AddToFile(const CDirNode& dirNode, const std::string& name,
                            const std::string& text, const std::string& kind,
                            const std::string& undoLines) {
    CDir* dir = m_handles.Of(dirNode);
    const std::string path = JoinPath(dirNode.m_strPath, name);
    FileStat st;
    if (!dir) return Failed();
    if (!dir->Stat(name, st)) {
        if (errno == ENOENT) return CreateFile(dirNode, name, text, kind, undoLines);
        m_ctx.ErrorLine(path, FailureText(IDS_OPEN_FAILED, errno));
        return Failed();
    }
    if (st.isLink || st.kind != EntryKind::File) {
        m_ctx.ErrorLine(path, LoadString(IDS_LINKED_FILE_SKIPPED));
        return Failed();
    }
    if (!MayReplace(st, path)) return Failed();
    std::unique_ptr<CFile> f = dir->OpenModify(name);
    uint64_t length = 0, hash = 0;
    char last = '\n';
    if (!f || !HashOfFile(*f, length, hash, &last)) {
        m_ctx.ErrorLine(path, FailureText(IDS_OPEN_FAILED, errno));
        return Failed();
    }
    const std::string added = (last == '\n' ? "" : "\n") + text;
    if (m_pJournal) {
        JournalRecord r = RecordIn(JournalRecord::CONTENT, dirNode, name, kind, undoLines);
        r.id = r.newId = f->Id();
        r.oldTime = st.mtimeNs;
        r.newLength = length + added.size();
        r.newHash = ContentHash(added.data(), added.size(), hash);
        if (!f->Seek(0) || !m_pJournal->KeepOriginal(*f, r.offset, r.length) ||
            !Journal(r, true, path))
            return Failed();
    }
    if (!f->Seek(length) || !f->Write(added.data(), added.size()) || !f->Sync()) {
        // The journal holds the way back; the file is whatever the failed write left.
        m_ctx.ErrorLine(path, LoadString(IDS_WRITE_FAILED));
        return Failed();
    }
    return MarkWritten(path);
}

bool CTreeWriter::CreateFile(const CDirNode& dirNode, const std::string& name,
                             const std::string& content, const std::string& kind,
                             const std::string& undoLines) {
    CDir* dir = m_handles.Of(dirNode);
    const std::string path = JoinPath(dirNode.m_strPath, name);
    if (!dir) return Failed();
    if (m_pJournal) {
        JournalRecord r = RecordIn(JournalRecord::CREATE, dirNode, name, kind, undoLines);
        r.newLength = content.size();
        r.newHash = ContentHash(content.data(), content.size());
        if (!Journal(r, true, path)) return Failed();
    }
    std::unique_ptr<CFile> f = dir->OpenNew(name);
    if (!f) {
        m_ctx.ErrorLine(path, FailureText(IDS_OPEN_FAILED, errno));
        return Failed();
    }
    if (!f->Write(content.data(), content.size()) || !f->Sync() || !f->Close()) {
        m_ctx.ErrorLine(path, LoadString(IDS_WRITE_FAILED));
        dir->Remove(name);
        return Failed();
    }
    return MarkWritten(path);
}

std::unique_ptr<CFile> CTreeWriter::BeginOwnFile(const CDirNode& dirNode, std::string& tempName) {
    CDir* dir = m_handles.Of(dirNode);
    return dir ? dir->CreateTemp(".ts_", tempName) : nullptr;
}

bool CTreeWriter::PutOwnFile(const CDirNode& dirNode, const std::string& tempName,
                             const std::string& name, const std::string& kind,
                             const std::string& undoLines) {
    CDir* dir = m_handles.Of(dirNode);
    const std::string path = JoinPath(dirNode.m_strPath, name);
    if (!dir) return Failed();
    FileStat st;
    const bool exists = dir->Stat(name, st);
    const int statError = exists ? 0 : errno;
    std::unique_ptr<CFile> made;
    bool ok = false;
    if (!exists && statError != ENOENT) {
        m_ctx.ErrorLine(path, FailureText(IDS_OPEN_FAILED, statError));
    } else if (exists && (st.isLink || st.kind != EntryKind::File)) {
        m_ctx.ErrorLine(path, LoadString(IDS_NOT_PLAIN_FILE_KEPT));
    } else if (!(made = dir->OpenModify(tempName)) ||
               // The file keeps the mode of the one it replaces; a new one gets the usual mode.
               !made->SetMode(exists ? (st.mode & 07777) : 0644) || !made->Sync()) {
        m_ctx.ErrorLine(path, LoadString(IDS_WRITE_FAILED));
    } else {
        ok = !m_pJournal || JournalPut(*dir, dirNode, name, exists, st, *made, kind, undoLines);
    }
    if (ok) {
        const CResult put =
            exists ? dir->Replace(tempName, name) : dir->RenameNoReplace(tempName, name);
        ok = put;
        if (!ok) m_ctx.ErrorLine(path, FailureText(IDS_WRITE_FAILED, put.Error()));
    }
    if (!ok) {
        dir->Remove(tempName);
        return Failed();
    }
    return MarkWritten(path);
}

bool CTreeWriter::JournalPut(CDir& dir, const CDirNode& dirNode, const std::string& name,
                             bool exists, const FileStat& st, CFile& made, const std::string& kind,
                             const std::string& undoLines) {
    const std::string path = JoinPath(dirNode.m_strPath, name);
    JournalRecord r = RecordIn(exists ? JournalRecord::CONTENT : JournalRecord::CREATE, dirNode,
                               name, kind, undoLines);
    if (!made.Seek(0) || !HashOfFile(made, r.newLength, r.newHash)) {
        m_ctx.ErrorLine(path, LoadString(IDS_WRITE_FAILED));
        return false;
    }
    if (!exists) return Journal(r, true, path);
    // The file put in place is a new one: undo writes the old content back into it while it
    // still holds exactly what was put here.
    std::unique_ptr<CFile> original = dir.OpenRead(name);
    if (!original || !m_pJournal->KeepOriginal(*original, r.offset, r.length)) {
        m_ctx.ErrorLine(path, LoadString(IDS_JOURNAL_FAILED));
        return false;
    }
    r.id = original->Id();
    r.newId = made.Id();
    r.oldTime = st.mtimeNs;
    return Journal(r, true, path);
}

JournalRecord CTreeWriter::RecordIn(JournalRecord::Kind kind, const CDirNode& dirNode,
                                    const std::string& name, const std::string& change,
                                    const std::string& undoLines) const {
    JournalRecord r;
    r.kind = kind;
    r.dir = RelativePath(dirNode);
    r.dirId = dirNode.m_id;
    r.name = name;
    r.after = change;
    r.before = undoLines;
    return r;
}

// The mark that the change is whole on the disk: undo then trusts it only while the file
// still holds it.
bool CTreeWriter::MarkWritten(const std::string& path) {
    if (!m_pJournal) return true;
    JournalRecord written;
    written.kind = JournalRecord::WRITTEN;
    return Journal(written, true, path) || Failed();
}

}  // namespace ts
