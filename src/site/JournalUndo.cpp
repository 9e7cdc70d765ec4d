#include "site/JournalUndo.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/Path.h"

namespace ts {
namespace {

// The recorded directory, reached from the top without following links, if it is still the
// object the run changed.
std::unique_ptr<CDir> OpenRecordedDir(CDir& top, const std::string& rel, FileId id) {
    std::unique_ptr<CDir> dir;
    CDir* at = &top;
    for (size_t start = 0; start < rel.size();) {
        size_t slash = rel.find('/', start);
        if (slash == std::string::npos) slash = rel.size();
        dir = at->OpenDir(rel.substr(start, slash - start));
        if (!dir) return nullptr;
        at = dir.get();
        start = slash + 1;
    }
    if (!(at->Id() == id)) return nullptr;
    // The top itself is handed back as a second handle.
    return dir ? std::move(dir) : top.OpenDir(".");
}

// Length and hash of a file's content.
bool HashOf(CFile& f, uint64_t& length, uint64_t& hash) {
    length = 0;
    hash = kHashStart;
    char buf[65536];
    long long n;
    while ((n = f.Read(buf, sizeof buf)) > 0) {
        length += static_cast<uint64_t>(n);
        hash = ContentHash(buf, static_cast<size_t>(n), hash);
    }
    return n == 0;
}

// The original bytes go back in place, so the file keeps its inode, owner, attributes and mode,
// and the records before this one still find it.
UndoOutcome::Result UndoContent(CDir& dir, const JournalRecord& r, CFile& originals) {
    std::unique_ptr<CFile> f = dir.OpenModify(r.name);
    uint64_t length = 0, hash = 0;
    if (!f || !(f->Id() == r.id) || !HashOf(*f, length, hash) || length != r.newLength ||
        hash != r.newHash)
        return UndoOutcome::CHANGED;
    if (!f->Seek(0) || !originals.Seek(r.offset)) return UndoOutcome::FAILED;
    char buf[65536];
    for (uint64_t left = r.length; left > 0;) {
        const long long n =
            originals.Read(buf, static_cast<size_t>(std::min<uint64_t>(left, sizeof buf)));
        if (n <= 0 || !f->Write(buf, static_cast<size_t>(n))) return UndoOutcome::FAILED;
        left -= static_cast<uint64_t>(n);
    }
    return f->Resize(r.length) && f->Sync() ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
}

UndoOutcome::Result UndoOne(CDir& dir, const JournalRecord& r, CFile& originals) {
    FileStat st;
    std::string text;
    switch (r.kind) {
        case JournalRecord::RENAME:
            if (!dir.Stat(r.after, st) || !(st.id == r.id)) return UndoOutcome::CHANGED;
            return dir.RenameNoReplace(r.after, r.name) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
        case JournalRecord::LINK:
            if (!dir.ReadLink(r.name, text) || text != r.after) return UndoOutcome::CHANGED;
            return dir.ReplaceLink(r.name, r.before) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
        case JournalRecord::MODE:
            if (!dir.Stat(r.name, st) || !(st.id == r.id) || st.isLink || st.mode != r.newMode)
                return UndoOutcome::CHANGED;
            return dir.SetMode(r.name, r.oldMode) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
        case JournalRecord::CONTENT:
            return UndoContent(dir, r, originals);
        case JournalRecord::END:
            break;
    }
    return UndoOutcome::UNDONE;
}

}  // namespace

bool UndoFromJournal(CFileSystem& fs, const std::string& folder,
                     std::vector<UndoOutcome>& outcomes) {
    outcomes.clear();
    std::string topPath;
    FileId topId;
    std::vector<JournalRecord> records;
    if (!CRunJournal::Read(fs, folder, topPath, topId, records)) return false;
    std::unique_ptr<CDir> top = fs.OpenDir(topPath);
    std::unique_ptr<CFile> originals = fs.OpenRead(JoinPath(folder, "originals"));
    if (!top || !originals) return false;
    if (!(top->Id() == topId)) {
        errno = ESTALE;
        return false;
    }
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (r->kind == JournalRecord::END) continue;
        UndoOutcome out;
        out.record = *r;
        const std::string dirPath = r->dir.empty() ? topPath : JoinPath(topPath, r->dir);
        const std::string& leftName = r->kind == JournalRecord::RENAME ? r->after : r->name;
        out.path = JoinPath(dirPath, leftName);
        std::unique_ptr<CDir> dir = OpenRecordedDir(*top, r->dir, r->dirId);
        out.result = dir ? UndoOne(*dir, *r, *originals) : UndoOutcome::CHANGED;
        outcomes.push_back(std::move(out));
    }
    return true;
}

}  // namespace ts
