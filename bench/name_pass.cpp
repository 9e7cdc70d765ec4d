// Times the passes that give entries new names: the scan alone, the name check, and the
// renaming of the entries, on a directory tree made by bench/names.sh.
//
//   name_pass DIR TARGET [--rename]     TARGET: iso9660 dos win95 mac unix upper lower
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/QuietUi.h"
#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "html/HtmlNode.h"
#include "site/DirXpNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"

namespace {

using ts::CQuietUi;

double Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string, int> targets = {
        {"iso9660", ts::TFS_ISO9660}, {"dos", ts::TFS_DOS_FAT}, {"win95", ts::TFS_WIN95_VFAT},
        {"mac", ts::TFS_MACINTOSH},   {"unix", ts::TFS_UNIX},   {"upper", ts::TFS_UPPER},
        {"lower", ts::TFS_LOWER}};
    if (argc < 3 || !targets.count(argv[2])) {
        std::fprintf(stderr, "usage: name_pass DIR TARGET [--rename]\n");
        return 2;
    }
    const int target = targets.at(argv[2]);
    const bool rename = argc > 3 && std::strcmp(argv[3], "--rename") == 0;

    CQuietUi ui;
    ts::CFileSystem& fs = ts::RealFileSystem();
    ts::CRunContext ctx(fs, ui);
    // The reports go to real files, as in a run.
    std::string statusPath, errorPath;
    auto status = fs.CreateTemp(ts::TempDirectory(), "ts_", statusPath);
    auto error = fs.CreateTemp(ts::TempDirectory(), "ts_", errorPath);
    ctx.statusReport.Attach(status.get());
    ctx.errorReport.Attach(error.get());

    auto t = std::chrono::steady_clock::now();
    ts::CTreeWriter writer(ctx);
    auto top = ts::MakeRunTree(ctx, argv[1], ts::MakeWebFileNode);
    top->Scan(true, rename ? &writer : nullptr, false);
    double scan = Since(t);

    bool autoName = true;
    t = std::chrono::steady_clock::now();
    int n = top->ForEach(
        [&](ts::CFileNode& node, bool& cancel) {
            return node.CheckName(target, &autoName, 0, &cancel) ? 1 : 0;
        },
        "Validating Filenames");
    double names = Since(t);

    double renaming = 0;
    int renamed = 0;
    if (rename) {
        ts::ReadOnlyChoice autoReadOnly = ts::RO_SKIP;
        t = std::chrono::steady_clock::now();
        renamed =
            top->ForEach([&](ts::CFileNode& node,
                             bool&) { return ts::RenameEntry(writer, node, true, autoReadOnly); },
                         "Renaming Files");
        top->CloseAllLogs();
        renaming = Since(t);
    }
    std::printf("entries %d  new names %d  renamed %d\n", top->m_nEntries, n, renamed);
    std::printf("scan %.3f s  names %.3f s  renaming %.3f s  (names+renaming)/scan %.2f\n", scan,
                names, renaming, (names + renaming) / scan);
    ctx.statusReport.Detach();
    ctx.errorReport.Detach();
    top.reset();
    fs.Remove(statusPath);
    fs.Remove(errorPath);
    return 0;
}
