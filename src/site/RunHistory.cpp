#include "site/RunHistory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/Process.h"
#include "site/RunJournal.h"

namespace ts {
namespace {

// The journal holds no record, not even a whole first line.
bool HeaderOnly(CFileSystem& fs, const std::string& folder) {
    std::string text;
    if (!ReadWholeFile(fs, JoinPath(folder, "journal"), text)) return errno == ENOENT;
    const size_t end = text.find('\n');
    return end == std::string::npos || end + 1 == text.size();
}

std::vector<std::string> SortedFolders(CFileSystem& fs, const std::string& dir) {
    std::vector<std::string> names;
    if (!fs.ListDir(dir, names)) return {};
    std::sort(names.begin(), names.end());
    std::vector<std::string> folders;
    for (const std::string& name : names)
        folders.push_back(JoinPath(dir, name));
    return folders;
}

}  // namespace

// Folder names are "<time>-<pid>" or "<time>-<pid>-<n>".
int RunPid(const std::string& folder) {
    const std::string name = BaseName(folder);
    const size_t first = name.find('-', name.find('-') + 1);
    return first == std::string::npos ? 0 : std::atoi(name.c_str() + first + 1);
}

bool TreeKeyOf(CFileSystem& fs, const std::string& dir, TreeKey& key) {
    key.path = CanonicalPath(dir);
    std::unique_ptr<CDir> open = key.path.empty() ? nullptr : fs.OpenDir(key.path);
    if (!open) return false;
    key.id = open->Id();
    return true;
}

std::vector<std::string> RunFolders(CFileSystem& fs, const std::string& runsDir,
                                    const TreeKey& key) {
    std::vector<std::string> folders;
    for (const std::string& folder : SortedFolders(fs, TreeJournals(runsDir, key.id))) {
        std::string top;
        FileId id;
        std::vector<JournalRecord> records;
        // A journal that cannot be read still belongs here: it is reported, never skipped.
        if (!CRunJournal::Read(fs, folder, top, id, records) || top == key.path)
            folders.push_back(folder);
    }
    return folders;
}

bool ReadRunSummary(CFileSystem& fs, const std::string& folder, RunSummary& out) {
    std::vector<JournalRecord> records;
    FileId topId;
    out = RunSummary();
    out.folder = folder;
    if (!CRunJournal::Read(fs, folder, out.top, topId, records)) return false;
    for (const JournalRecord& r : records) {
        switch (r.kind) {
            case JournalRecord::END:
                out.state = r.after;
                break;
            case JournalRecord::UNDONE:
                out.state = "partly undone";
                break;
            case JournalRecord::UNDO_OF:
                out.undoOf = r.after;
                break;
            case JournalRecord::WRITTEN:
            case JournalRecord::UNDOING:
                break;
            default:
                ++out.changes;
        }
    }
    for (const char* file : {"journal", "originals"}) {
        FileStat st;
        if (fs.Stat(JoinPath(folder, file), st)) out.bytes += st.size;
    }
    out.pid = RunPid(folder);
    return true;
}

std::vector<RunSummary> AllRuns(CFileSystem& fs, const std::string& runsDir) {
    std::vector<RunSummary> runs;
    for (const std::string& tree : SortedFolders(fs, runsDir)) {
        for (const std::string& folder : SortedFolders(fs, tree)) {
            RunSummary run;
            if (ReadRunSummary(fs, folder, run)) runs.push_back(std::move(run));
        }
    }
    return runs;
}

bool LastRun(CFileSystem& fs, const std::string& runsDir, const TreeKey& key, RunSummary& out) {
    std::vector<std::string> folders = RunFolders(fs, runsDir, key);
    size_t turns = 0;  // a forged circle of journals must not hold the loop
    while (!folders.empty()) {
        const bool read = ReadRunSummary(fs, folders.back(), out);
        if (read && !out.undoOf.empty() && ++turns <= folders.size()) {
            // The run being undone goes first; what its undo kept waits behind it.
            const auto undone =
                std::find_if(folders.begin(), folders.end(),
                             [&](const std::string& f) { return BaseName(f) == out.undoOf; });
            if (undone != folders.end()) {
                std::rotate(undone, undone + 1, folders.end());
                continue;
            }
        }
        out.folder = folders.back();
        out.pid = RunPid(out.folder);
        const bool running = out.pid > 0 && !ProcessEnded(out.pid);
        // A run that ended before it changed anything (its journal was begun, then the run
        // failed or was killed, maybe before the journal's first line was whole) has nothing
        // to undo. Any other journal that cannot be read is reported, never skipped.
        if (running || (read ? out.changes > 0 : !HeaderOnly(fs, out.folder))) return true;
        RemoveRun(fs, folders.back());
        folders.pop_back();
    }
    return false;
}

bool RemoveRun(CFileSystem& fs, const std::string& folder) {
    for (const char* file : {"journal", "originals"})
        if (!fs.Remove(JoinPath(folder, file)) && errno != ENOENT) return false;
    return RemoveEmptyDirectory(folder);
}

void PruneRuns(CFileSystem& fs, const std::string& runsDir, const TreeKey& key, int keep) {
    std::vector<std::string> ended;
    for (const std::string& folder : RunFolders(fs, runsDir, key)) {
        RunSummary run;
        if (ReadRunSummary(fs, folder, run) && !run.state.empty()) ended.push_back(folder);
    }
    for (size_t i = 0; i + static_cast<size_t>(std::max(keep, 0)) < ended.size(); ++i)
        RemoveRun(fs, ended[i]);
}

}  // namespace ts
