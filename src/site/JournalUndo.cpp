#include "site/JournalUndo.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

#include "platform/Path.h"
#include "platform/Process.h"
#include "site/OwnFiles.h"
#include "site/RunHistory.h"

namespace ts {
namespace {

// Opens the directory rel below top without following links; null unless it is the object id.
std::unique_ptr<CDir> OpenBelow(CDir& top, const std::string& rel, FileId id) {
    std::unique_ptr<CDir> dir = top.OpenDir(".");
    for (size_t start = 0; dir && start < rel.size();) {
        size_t slash = rel.find('/', start);
        if (slash == std::string::npos) slash = rel.size();
        dir = dir->OpenDir(rel.substr(start, slash - start));
        start = slash + 1;
    }
    return dir && dir->Id() == id ? std::move(dir) : nullptr;
}

// Finds the directories of the tree by identity, for a record whose directory is no longer
// where it was named: a rename of a directory above it that failed, or one the user made.
class CDirFinder {
public:
    CDirFinder(CFileSystem& fs, CDir& top, std::string topPath)
        : m_fs(fs), m_top(top), m_topPath(std::move(topPath)) {}

    std::unique_ptr<CDir> Open(const std::string& rel, FileId id) {
        if (std::unique_ptr<CDir> dir = OpenBelow(m_top, rel, id)) return dir;
        // The tree is looked through again only when it may have changed since the last look.
        if (m_stale) {
            m_dirs.clear();
            Collect("");
            m_stale = false;
        }
        auto found = m_dirs.find(id);
        return found == m_dirs.end() ? nullptr : OpenBelow(m_top, found->second, id);
    }
    // Undo renamed something: the paths found may be out of date.
    void Moved() { m_stale = true; }
    // Calls fn with the path below the top and a handle of every directory of the tree.
    template <class Fn>
    void ForEachDir(Fn fn) {
        if (m_stale) {
            m_dirs.clear();
            Collect("");
            m_stale = false;
        }
        if (std::unique_ptr<CDir> top = m_top.OpenDir(".")) fn(m_topPath, *top);
        for (const auto& [id, rel] : m_dirs)
            if (std::unique_ptr<CDir> dir = OpenBelow(m_top, rel, id))
                fn(JoinPath(m_topPath, rel), *dir);
    }

private:
    void Collect(const std::string& rel) {
        std::vector<std::string> names;
        const std::string path = rel.empty() ? m_topPath : JoinPath(m_topPath, rel);
        if (!m_fs.ListDir(path, names)) return;
        for (const std::string& name : names) {
            FileStat st;
            const std::string child = rel.empty() ? name : rel + "/" + name;
            if (!m_fs.Stat(JoinPath(m_topPath, child), st) || st.isLink ||
                st.kind != EntryKind::Directory)
                continue;
            m_dirs.emplace(st.id, child);
            Collect(child);
        }
    }

    CFileSystem& m_fs;
    CDir& m_top;
    std::string m_topPath;
    std::map<FileId, std::string> m_dirs;
    bool m_stale = true;
};

bool HoldsExactly(CFile& f, const std::string& bytes) {
    uint64_t length = 0, hash = 0;
    return f.Seek(0) && HashOfFile(f, length, hash) && length == bytes.size() &&
           hash == ContentHash(bytes.data(), bytes.size());
}

// The original bytes go back in place, so the file keeps its inode, owner, attributes and mode,
// and the records before this one still find it. Content that a crash may have cut short
// (inFlight) goes back whatever it holds; other content only while it is what the run wrote.
UndoOutcome::Result UndoContent(CDir& dir, const JournalRecord& r, CFile& originals,
                                bool inFlight) {
    std::unique_ptr<CFile> f = dir.OpenModify(r.name);
    if (!f) return errno == ENOENT || errno == ELOOP ? UndoOutcome::CHANGED : UndoOutcome::FAILED;
    const FileId now = f->Id();
    // Too large to change in place, and the new file never took the old one's name.
    if (now == r.id && !(r.newId == r.id)) return UndoOutcome::NOT_MADE;
    if (!(now == r.newId)) return UndoOutcome::CHANGED;
    std::string original;
    if (!ReadKept(originals, r.offset, r.length, original)) return UndoOutcome::FAILED;
    if (HoldsExactly(*f, original)) return UndoOutcome::NOT_MADE;
    uint64_t length = 0, hash = 0;
    if (!inFlight && (!f->Seek(0) || !HashOfFile(*f, length, hash) || length != r.newLength ||
                      hash != r.newHash))
        return UndoOutcome::CHANGED;
    if (!f->Seek(0) || !f->Write(original.data(), original.size()) || !f->Resize(original.size()))
        return UndoOutcome::FAILED;
    return UndoOutcome::UNDONE;
}

// A file the run made goes while it holds what the run wrote; one the user changed since, or
// put in its place, stays.
UndoOutcome::Result UndoCreate(CDir& dir, const JournalRecord& r) {
    FileStat st;
    if (!dir.Stat(r.name, st)) return errno == ENOENT ? UndoOutcome::NOT_MADE : UndoOutcome::FAILED;
    if (st.isLink || st.kind != EntryKind::File) return UndoOutcome::CHANGED;
    std::unique_ptr<CFile> f = dir.OpenRead(r.name);
    uint64_t length = 0, hash = 0;
    if (!f || !HashOfFile(*f, length, hash)) return UndoOutcome::FAILED;
    if (length != r.newLength || hash != r.newHash) return UndoOutcome::CHANGED;
    return dir.Remove(r.name) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
}

// A symbolic link given a new text is a new entry: the link that undo puts in its place is
// the one that the records before it knew by the old link's identity.
using Relinked = std::map<FileId, FileId>;

UndoOutcome::Result UndoRename(CDir& dir, const JournalRecord& r, const Relinked& relinked) {
    const auto found = relinked.find(r.id);
    const FileId id = found == relinked.end() ? r.id : found->second;
    FileStat st;
    if (dir.Stat(r.after, st) && st.id == id)
        return dir.RenameNoReplace(r.after, r.name) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
    if (dir.Stat(r.name, st) && st.id == id) return UndoOutcome::NOT_MADE;
    return UndoOutcome::CHANGED;
}

UndoOutcome::Result UndoLink(CDir& dir, const JournalRecord& r, Relinked& relinked) {
    std::string text;
    if (!dir.ReadLink(r.name, text)) return UndoOutcome::CHANGED;
    UndoOutcome::Result result = UndoOutcome::NOT_MADE;
    if (text != r.before) {
        if (text != r.after) return UndoOutcome::CHANGED;
        if (!dir.ReplaceLink(r.name, r.before)) return UndoOutcome::FAILED;
        result = UndoOutcome::UNDONE;
    }
    FileStat st;
    if (dir.Stat(r.name, st)) relinked[r.id] = st.id;
    return result;
}

UndoOutcome::Result UndoOne(CDir& dir, const JournalRecord& r, CFile& originals, bool inFlight,
                            Relinked& relinked) {
    FileStat st;
    switch (r.kind) {
        case JournalRecord::RENAME:
            return UndoRename(dir, r, relinked);
        case JournalRecord::LINK:
            return UndoLink(dir, r, relinked);
        case JournalRecord::MODE:
            if (!dir.Stat(r.name, st) || !(st.id == r.id) || st.isLink) return UndoOutcome::CHANGED;
            if (st.mode == r.oldMode) return UndoOutcome::NOT_MADE;
            if (st.mode != r.newMode) return UndoOutcome::CHANGED;
            return dir.SetMode(r.name, r.oldMode) ? UndoOutcome::UNDONE : UndoOutcome::FAILED;
        case JournalRecord::CONTENT:
            return UndoContent(dir, r, originals, inFlight);
        case JournalRecord::CREATE:
            return UndoCreate(dir, r);
        case JournalRecord::WRITTEN:
        case JournalRecord::END:
            break;
    }
    return UndoOutcome::NOT_MADE;
}

// Which content records are known to have been written whole: those followed by a mark of
// their batch that is not "cut". A batch that was cut short (a write failed, or the run ended
// in its middle) has no such mark, and its records go back whatever the files hold.
std::vector<bool> WrittenWhole(const std::vector<JournalRecord>& records) {
    std::vector<bool> whole(records.size(), false);
    bool confirmed = false;
    for (size_t i = records.size(); i-- > 0;) {
        if (records[i].kind == JournalRecord::WRITTEN) confirmed = records[i].after != "cut";
        whole[i] = confirmed;
    }
    return whole;
}

// Undoes records one at a time, keeping what the records before need: where the directories
// are now, and which links stand in for which.
class CRecordUndo {
public:
    CRecordUndo(CDirFinder& finder, CFile& originals, const std::string& topPath)
        : m_finder(finder), m_originals(originals), m_topPath(topPath) {}

    UndoOutcome Undo(const JournalRecord& r, bool inFlight) {
        UndoOutcome out;
        out.record = r;
        const std::string dirPath = r.dir.empty() ? m_topPath : JoinPath(m_topPath, r.dir);
        out.path = JoinPath(dirPath, r.kind == JournalRecord::RENAME ? r.after : r.name);
        std::unique_ptr<CDir> dir = m_finder.Open(r.dir, r.dirId);
        out.result =
            dir ? UndoOne(*dir, r, m_originals, inFlight, m_relinked) : UndoOutcome::CHANGED;
        if (out.result == UndoOutcome::UNDONE && r.kind == JournalRecord::RENAME) m_finder.Moved();
        return out;
    }

private:
    CDirFinder& m_finder;
    CFile& m_originals;
    const std::string& m_topPath;
    Relinked m_relinked;
};

// The temporary files a run killed between making one and renaming it into place left, of its
// own process only.
void RemoveLeftoversOf(CFileSystem& fs, CDirFinder& finder, int pid) {
    if (pid <= 0 || pid == ::getpid() || !ProcessEnded(pid)) return;
    finder.ForEachDir([&](const std::string& path, CDir& dir) {
        std::vector<std::string> names;
        if (!fs.ListDir(path, names)) return;
        for (const std::string& name : names) {
            FileStat st;
            if (LeftoverPid(name) == pid && dir.Stat(name, st) && HasLeftoverShape(name, st))
                dir.Remove(name);
        }
    });
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
    CDirFinder finder(fs, *top, topPath);
    CRecordUndo undo(finder, *originals, topPath);
    const std::vector<bool> whole = WrittenWhole(records);
    // Modes go back last, by the names entries had before the run: an entry is made writable
    // before it is renamed, though its rename was recorded ahead, and what undo writes must
    // still find it writable.
    for (bool modes : {false, true}) {
        for (size_t i = records.size(); i-- > 0;) {
            const JournalRecord::Kind kind = records[i].kind;
            if (kind != JournalRecord::END && kind != JournalRecord::WRITTEN &&
                (kind == JournalRecord::MODE) == modes)
                outcomes.push_back(undo.Undo(records[i], !whole[i]));
        }
    }
    RemoveLeftoversOf(fs, finder, RunPid(folder));
    // One flush for the whole undo rather than one per file: an undo cut short is simply
    // made again, each change being undone only once.
    top->SyncAll();
    return true;
}

}  // namespace ts
