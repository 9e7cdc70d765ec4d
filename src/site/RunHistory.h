// The journaled runs of a tree (site/RunJournal.h): which one is the last, whether it ended,
// and keeping no more of them than the user wants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {

struct RunSummary {
    std::string folder;
    std::string top;  // the tree, as named when the run began
    // How the run ended ("complete", "cancelled", "failed", or "partly undone" once an undo
    // left files the user changed); empty when it never recorded its end.
    std::string state;
    // The run whose undo displaced the content this journal keeps; empty for a run.
    std::string undoOf;
    size_t changes = 0;
    uint64_t bytes = 0;  // what the journal takes on the disk
    int pid = 0;         // the process that made the run
};

// The process that made the run whose journal is in folder; 0 when the name does not say.
int RunPid(const std::string& folder);

// What the runs of a tree are kept under: the directory's path, with links resolved, and its
// identity. Both must match: a directory moved elsewhere, or a new one that got the inode of
// a removed one, is another tree.
struct TreeKey {
    std::string path;
    FileId id;
};

// False with errno set when the directory cannot be opened.
bool TreeKeyOf(CFileSystem& fs, const std::string& dir, TreeKey& key);
// The folders of the tree's runs, oldest first.
std::vector<std::string> RunFolders(CFileSystem& fs, const std::string& runsDir,
                                    const TreeKey& key);
// Every run of every tree, each tree's oldest first; journals that cannot be read are left out.
std::vector<RunSummary> AllRuns(CFileSystem& fs, const std::string& runsDir);
// False with errno set when the journal cannot be read.
bool ReadRunSummary(CFileSystem& fs, const std::string& folder, RunSummary& out);
// The last run of the tree; false when it has none. The journal of what an undo displaced
// comes after the run it undid while that run's journal is still there.
bool LastRun(CFileSystem& fs, const std::string& runsDir, const TreeKey& key, RunSummary& out);
// Removes a run's journal.
bool RemoveRun(CFileSystem& fs, const std::string& folder);
// Removes the runs of the tree that ended, but the last keep of them; a run that never ended is
// kept until it is undone.
void PruneRuns(CFileSystem& fs, const std::string& runsDir, const TreeKey& key, int keep);

}  // namespace ts
