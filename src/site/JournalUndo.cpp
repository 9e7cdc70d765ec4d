#include "site/JournalUndo.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>

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
        // The link is new: it gets the time the old one had, so that it does not look changed.
        if (r.oldTime) dir.SetTime(r.name, r.oldTime);
        result = UndoOutcome::UNDONE;
    }
    FileStat st;
    if (dir.Stat(r.name, st)) relinked[r.id] = st.id;
    return result;
}

UndoOutcome::Result UndoOne(CDir& dir, const JournalRecord& r, Relinked& relinked) {
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
        case JournalRecord::CREATE:
            return UndoCreate(dir, r);
        default:
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

// The name a record's entry has once the renames of the run are undone: directories by their
// renamed path, files by their directory and name.
class CNamesBefore {
public:
    explicit CNamesBefore(const std::vector<JournalRecord>& records) {
        for (const JournalRecord& r : records)
            if (r.kind == JournalRecord::RENAME) m_old[{r.dir, r.after}] = r.name;
    }
    std::string Dir(const std::string& dir) const {
        std::string before, after;
        for (size_t start = 0; start < dir.size();) {
            size_t slash = dir.find('/', start);
            if (slash == std::string::npos) slash = dir.size();
            const std::string name = dir.substr(start, slash - start);
            const auto found = m_old.find({after, name});
            before = JoinPath(before, found == m_old.end() ? name : found->second);
            after = JoinPath(after, name);
            start = slash + 1;
        }
        return before;
    }
    std::string Name(const std::string& dir, const std::string& name) const {
        const auto found = m_old.find({dir, name});
        return found == m_old.end() ? name : found->second;
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> m_old;
};

// Undoes records one at a time, keeping what the records before need: where the directories
// are now, and which links stand in for which. Originals go back in batches: the journal first
// records, once per batch, each original about to be written back, so that an undo cut short
// writes it again whatever the file holds; content that is neither the run's nor the original
// is first kept in a journal of its own.
class CRecordUndo {
public:
    CRecordUndo(CFileSystem& fs, const std::string& folder, CDirFinder& finder, CFile& originals,
                const std::string& topPath, FileId topId, const std::vector<JournalRecord>& records,
                bool force)
        : m_fs(fs),
          m_folder(folder),
          m_finder(finder),
          m_originals(originals),
          m_topPath(topPath),
          m_topId(topId),
          m_names(records),
          m_bForce(force) {
        for (const JournalRecord& r : records) {
            if (r.kind == JournalRecord::UNDOING) m_marked.insert(r.offset);
            if (r.kind == JournalRecord::CONTENT) m_contents.push_back(&r);
        }
    }

    void Undo(const JournalRecord& r, bool inFlight, std::vector<UndoOutcome>& outcomes) {
        UndoOutcome out;
        out.record = r;
        const std::string dirPath = r.dir.empty() ? m_topPath : JoinPath(m_topPath, r.dir);
        out.path = JoinPath(dirPath, r.kind == JournalRecord::RENAME ? r.after : r.name);
        if (r.kind == JournalRecord::DAMAGED) {
            out.result = UndoOutcome::DAMAGED;
            out.path = m_folder;
            outcomes.push_back(out);
            return;
        }
        if (r.kind != JournalRecord::CONTENT) Flush(outcomes);
        std::unique_ptr<CDir> dir = m_finder.Open(r.dir, r.dirId);
        if (dir) out.record.name = NameNow(*dir, r);
        if (!dir) {
            out.result = UndoOutcome::CHANGED;
        } else if (r.kind == JournalRecord::CONTENT) {
            return Content(std::move(dir), out.record, inFlight, out, outcomes);
        } else {
            out.result = UndoOne(*dir, out.record, m_relinked);
        }
        if (out.result == UndoOutcome::UNDONE && r.kind == JournalRecord::RENAME) m_finder.Moved();
        outcomes.push_back(out);
    }

    // The name a file or link has now: an undo cut short may have given it back its name
    // from before the run already.
    std::string NameNow(CDir& dir, const JournalRecord& r) {
        FileStat st;
        if (r.kind == JournalRecord::RENAME || dir.Stat(r.name, st) || errno != ENOENT)
            return r.name;
        return m_names.Name(r.dir, r.name);
    }
    // Writes the originals still waiting; every undo ends with it.
    void Flush(std::vector<UndoOutcome>& outcomes);
    // Records that the undo left changes the user made, and ends the journal of kept content.
    bool End(bool partly);

private:
    struct Waiting {
        size_t outcome;  // its index in the outcomes
        std::unique_ptr<CDir> dir;
        std::unique_ptr<CFile> file;
    };
    void Content(std::unique_ptr<CDir> dir, const JournalRecord& r, bool inFlight, UndoOutcome& out,
                 std::vector<UndoOutcome>& outcomes);
    // What the file holds decides: NOT_MADE, CHANGED or FAILED, or UNDONE for a file whose
    // original is to be written back (displaced: over content that must be kept first).
    UndoOutcome::Result Judge(CDir& dir, CFile& f, const JournalRecord& r, bool inFlight,
                              bool& displaced);
    UndoOutcome::Result JudgeOther(CFile& f, const JournalRecord& r, bool inFlight, bool marked,
                                   uint64_t length, bool& displaced);
    bool FurtherBack(CFile& f, const JournalRecord& r, uint64_t length);
    bool CutShortByRun(CFile& f, const JournalRecord& r, uint64_t length);
    bool KeepDisplaced(std::vector<UndoOutcome>& outcomes);
    bool KeepOne(UndoOutcome& out, Waiting& w);
    bool WriteBack(const JournalRecord& r, Waiting& w);

    CFileSystem& m_fs;
    const std::string& m_folder;
    CDirFinder& m_finder;
    CFile& m_originals;
    const std::string& m_topPath;
    FileId m_topId;
    CNamesBefore m_names;
    bool m_bForce;
    Relinked m_relinked;
    std::set<uint64_t> m_marked;  // records whose original an earlier undo began to write
    std::vector<const JournalRecord*> m_contents;
    std::vector<Waiting> m_waiting;
    std::unique_ptr<CRunJournal> m_pSelf;  // this journal, for its marks
    std::unique_ptr<CRunJournal> m_pKept;  // content displaced by this undo
};

void CRecordUndo::Content(std::unique_ptr<CDir> dir, const JournalRecord& r, bool inFlight,
                          UndoOutcome& out, std::vector<UndoOutcome>& outcomes) {
    std::unique_ptr<CFile> f = dir->OpenModify(r.name);
    if (!f) {
        out.result = errno == ENOENT || errno == ELOOP ? UndoOutcome::CHANGED : UndoOutcome::FAILED;
        outcomes.push_back(out);
        return;
    }
    // A page changed twice (line ends, then links) goes back one change at a time.
    const FileId id = f->Id();
    if (std::any_of(m_waiting.begin(), m_waiting.end(),
                    [&](const Waiting& w) { return w.file->Id() == id; }))
        Flush(outcomes);
    out.result = Judge(*dir, *f, r, inFlight, out.displaced);
    outcomes.push_back(out);
    if (out.result != UndoOutcome::UNDONE) return;
    m_waiting.push_back({outcomes.size() - 1, std::move(dir), std::move(f)});
    if (m_waiting.size() >= 64) Flush(outcomes);
}

UndoOutcome::Result CRecordUndo::Judge(CDir& dir, CFile& f, const JournalRecord& r, bool inFlight,
                                       bool& displaced) {
    const FileId now = f.Id();
    // Too large to change in place, and the new file never took the old one's name.
    if (now == r.id && !(r.newId == r.id)) return UndoOutcome::NOT_MADE;
    if (!(now == r.newId)) return UndoOutcome::CHANGED;
    uint64_t length = 0, hash = 0;
    if (!f.Seek(0) || !HashOfFile(f, length, hash)) return UndoOutcome::FAILED;
    if (length == r.newLength && hash == r.newHash) return UndoOutcome::UNDONE;
    const bool marked = m_marked.count(r.number) > 0;
    if (length == r.length && HoldsKept(f, m_originals, r.offset, r.length)) {
        // An earlier undo wrote it back, and may have stopped before its time.
        if (marked && r.oldTime) dir.SetTime(r.name, r.oldTime);
        return UndoOutcome::NOT_MADE;
    }
    return JudgeOther(f, r, inFlight, marked, length, displaced);
}

// The file holds neither the run's content nor the original.
UndoOutcome::Result CRecordUndo::JudgeOther(CFile& f, const JournalRecord& r, bool inFlight,
                                            bool marked, uint64_t length, bool& displaced) {
    // An undo cut short leaves the file a beginning of its original: nothing else to keep.
    if (marked && length < r.length && HoldsKept(f, m_originals, r.offset, length))
        return UndoOutcome::UNDONE;
    if (marked && FurtherBack(f, r, length)) return UndoOutcome::NOT_MADE;
    if (!inFlight && !marked && !m_bForce) return UndoOutcome::CHANGED;
    if (inFlight && CutShortByRun(f, r, length)) return UndoOutcome::UNDONE;
    displaced = true;
    return UndoOutcome::UNDONE;
}

// A write in place that stopped before the file was cut to its new length: the new content
// whole, then the rest of the original. Nothing in it is the user's.
bool CRecordUndo::CutShortByRun(CFile& f, const JournalRecord& r, uint64_t length) {
    if (length != r.length || r.newLength >= r.length || !f.Seek(0)) return false;
    uint64_t hash = kHashStart;
    char buf[65536];
    for (uint64_t done = 0; done < r.newLength;) {
        const long long n =
            f.Read(buf, static_cast<size_t>(std::min<uint64_t>(sizeof buf, r.newLength - done)));
        if (n <= 0) return false;
        hash = ContentHash(buf, static_cast<size_t>(n), hash);
        done += static_cast<uint64_t>(n);
    }
    return hash == r.newHash &&
           RestIsKept(f, m_originals, r.offset + r.newLength, r.length - r.newLength);
}

// A file changed twice (line ends, then links) that an undo cut short may already hold the
// original of its earlier change, or a beginning of it: that change's undo goes on from there.
bool CRecordUndo::FurtherBack(CFile& f, const JournalRecord& r, uint64_t length) {
    for (const JournalRecord* e : m_contents) {
        if (e->number >= r.number || !(e->newId == r.newId) || !m_marked.count(e->number) ||
            length > e->length)
            continue;
        if (HoldsKept(f, m_originals, e->offset, length)) return true;
    }
    return false;
}

// The content goes into a journal of this undo, as the original of a change from it to the
// run's original, named as it will be once the renames are undone: its undo gives it back.
bool CRecordUndo::KeepOne(UndoOutcome& out, Waiting& w) {
    const JournalRecord& r = out.record;
    if (!m_pKept) {
        m_pKept = CRunJournal::Create(m_fs, DirName(DirName(m_folder)), m_topPath, m_topId);
        JournalRecord of;
        of.kind = JournalRecord::UNDO_OF;
        of.after = BaseName(m_folder);
        if (!m_pKept || !m_pKept->Record(of)) return false;
    }
    JournalRecord k;
    k.kind = JournalRecord::CONTENT;
    k.dir = m_names.Dir(r.dir);
    k.dirId = r.dirId;
    k.name = m_names.Name(r.dir, r.name);
    k.id = k.newId = w.file->Id();
    k.after = "kept edits";
    k.before = JoinPath(k.dir.empty() ? m_topPath : JoinPath(m_topPath, k.dir), k.name) + "\n";
    FileStat st;
    if (w.dir->Stat(r.name, st)) k.oldTime = st.mtimeNs;
    k.newLength = r.length;
    return HashOfKept(m_originals, r.offset, r.length, k.newHash) &&
           m_pKept->KeepOriginal(*w.file, k.offset, k.length) && m_pKept->Record(k);
}

bool CRecordUndo::KeepDisplaced(std::vector<UndoOutcome>& outcomes) {
    bool any = false;
    for (Waiting& w : m_waiting) {
        UndoOutcome& out = outcomes[w.outcome];
        if (!out.displaced) continue;
        any = true;
        if (!KeepOne(out, w)) out.result = UndoOutcome::FAILED;
    }
    // Nothing is written over until what it held is on the disk.
    if (any && (!m_pKept || !m_pKept->Commit())) {
        for (Waiting& w : m_waiting)
            if (outcomes[w.outcome].displaced) outcomes[w.outcome].result = UndoOutcome::FAILED;
    }
    return true;
}

bool CRecordUndo::WriteBack(const JournalRecord& r, Waiting& w) {
    CFile& f = *w.file;
    // Cut first: an undo stopped in the middle leaves a beginning of the original, which the
    // next undo knows for its own work.
    if (!f.Seek(0) || !f.Resize(0) || !CopyKept(m_originals, r.offset, r.length, f)) return false;
    if (r.oldTime) w.dir->SetTime(r.name, r.oldTime);
    return true;
}

void CRecordUndo::Flush(std::vector<UndoOutcome>& outcomes) {
    if (m_waiting.empty()) return;
    KeepDisplaced(outcomes);
    if (!m_pSelf) m_pSelf = CRunJournal::Append(m_fs, m_folder);
    bool marked = m_pSelf != nullptr;
    for (Waiting& w : m_waiting) {
        UndoOutcome& out = outcomes[w.outcome];
        if (out.result != UndoOutcome::UNDONE) continue;
        JournalRecord mark;
        mark.kind = JournalRecord::UNDOING;
        mark.offset = out.record.number;
        marked = marked && m_pSelf->Record(mark);
    }
    marked = marked && m_pSelf->Commit();
    for (Waiting& w : m_waiting) {
        UndoOutcome& out = outcomes[w.outcome];
        if (out.result != UndoOutcome::UNDONE) continue;
        if (!marked || !WriteBack(out.record, w)) out.result = UndoOutcome::FAILED;
    }
    m_waiting.clear();
}

bool CRecordUndo::End(bool partly) {
    bool ok = true;
    if (partly) {
        if (!m_pSelf) m_pSelf = CRunJournal::Append(m_fs, m_folder);
        JournalRecord undone;
        undone.kind = JournalRecord::UNDONE;
        undone.after = "partly";
        ok = m_pSelf && m_pSelf->Record(undone) && m_pSelf->Commit();
    }
    if (m_pKept) {
        // The originals it kept content for are written and on the disk by now.
        JournalRecord written, end;
        written.kind = JournalRecord::WRITTEN;
        end.kind = JournalRecord::END;
        end.after = "complete";
        ok = m_pKept->Record(written) && m_pKept->Record(end) && m_pKept->Commit() && ok;
    }
    return ok;
}

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

bool UndoFromJournal(CFileSystem& fs, const std::string& folder, std::vector<UndoOutcome>& outcomes,
                     bool force) {
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
    CRecordUndo undo(fs, folder, finder, *originals, topPath, topId, records, force);
    const std::vector<bool> whole = WrittenWhole(records);
    // Modes go back last, by the names entries had before the run: an entry is made writable
    // before it is renamed, though its rename was recorded ahead, and what undo writes must
    // still find it writable.
    for (bool modes : {false, true}) {
        for (size_t i = records.size(); i-- > 0;) {
            const JournalRecord::Kind kind = records[i].kind;
            const bool change = kind == JournalRecord::RENAME || kind == JournalRecord::CONTENT ||
                                kind == JournalRecord::LINK || kind == JournalRecord::MODE ||
                                kind == JournalRecord::CREATE || kind == JournalRecord::DAMAGED;
            if (change && (kind == JournalRecord::MODE) == modes)
                undo.Undo(records[i], !whole[i], outcomes);
        }
        undo.Flush(outcomes);
    }
    RemoveLeftoversOf(fs, finder, RunPid(folder));
    // One flush for the whole undo rather than one per file: an undo cut short is simply
    // made again, each change being undone only once. One whose changes the disk may not hold
    // is not done: its journal stays.
    if (!top->SyncAll()) {
        UndoOutcome unsynced;
        unsynced.record.kind = JournalRecord::WRITTEN;
        unsynced.path = topPath;
        outcomes.push_back(unsynced);
    }
    const bool partly = std::any_of(outcomes.begin(), outcomes.end(), [](const UndoOutcome& o) {
        return o.result == UndoOutcome::CHANGED;
    });
    undo.End(partly);
    return true;
}

}  // namespace ts
