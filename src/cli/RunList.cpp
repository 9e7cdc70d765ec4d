#include "cli/RunList.h"

#include <cerrno>
#include <cstring>

#include "cli/Cli.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"

namespace ts {
namespace {

// "20261210-094809.670476928-26068" -> "2026-12-10 09:48:09".
std::string StartedAt(const std::string& folder) {
    const std::string n = BaseName(folder);
    if (n.size() < 15 || n[8] != '-') return "?";
    return n.substr(0, 4) + "-" + n.substr(4, 2) + "-" + n.substr(6, 2) + " " + n.substr(9, 2) +
           ":" + n.substr(11, 2) + ":" + n.substr(13, 2);
}

std::string Size(uint64_t bytes) {
    if (bytes < 1024) return Format("%llu B", static_cast<unsigned long long>(bytes));
    if (bytes < (1u << 20)) return Format("%.1f KiB", static_cast<double>(bytes) / 1024);
    return Format("%.1f MiB", static_cast<double>(bytes) / (1 << 20));
}

std::string StateOf(const RunSummary& run) {
    // What an undo put originals back over: undoing it gives that content back.
    if (!run.undoOf.empty() && run.state == "complete") return "kept by undo";
    if (!run.state.empty()) return run.state;
    // A run without its end is either still going on or was killed.
    return run.pid > 0 && !ProcessEnded(run.pid) ? "running" : "unfinished";
}

}  // namespace

int ListRuns(CFileSystem& fs, const std::string& dir, std::FILE* out, std::FILE* err) {
    std::vector<RunSummary> runs;
    if (dir.empty()) {
        runs = AllRuns(fs, JournalsDirectory());
    } else {
        TreeKey key;
        if (!TreeKeyOf(fs, dir, key)) {
            std::fprintf(err, "tessary-cli: cannot open \"%s\": %s\n", dir.c_str(),
                         std::strerror(errno));
            return EXIT_USAGE;
        }
        for (const std::string& folder : RunFolders(fs, JournalsDirectory(), key)) {
            RunSummary run;
            if (!ReadRunSummary(fs, folder, run)) run.folder = folder;
            runs.push_back(run);
        }
    }
    if (runs.empty()) {
        std::fprintf(out, "No journaled runs%s.\n",
                     dir.empty() ? "" : (" of \"" + dir + "\"").c_str());
        return EXIT_CLEAN;
    }
    std::fprintf(out, "%-13s %-19s %8s %10s  %s\n", "STATE", "STARTED (UTC)", "CHANGES", "JOURNAL",
                 "DIRECTORY");
    for (const RunSummary& run : runs)
        std::fprintf(out, "%-13s %-19s %8zu %10s  %s\n", StateOf(run).c_str(),
                     StartedAt(run.folder).c_str(), run.changes, Size(run.bytes).c_str(),
                     run.top.empty() ? run.folder.c_str() : run.top.c_str());
    std::fprintf(out, "\nThe last run of a directory is undone by: tessary-cli --undo DIRECTORY\n");
    return EXIT_CLEAN;
}

}  // namespace ts
