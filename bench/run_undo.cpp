// Times one whole run (scan, names, renames, link rewriting, journal) and its undo from the
// journal on a site, wall and CPU time, and tells what the journal took on the disk.
//
//   run_undo SITE_DIR HOME_PAGE
//   prints: run-wall run-cpu undo-wall undo-cpu journal-bytes ok|FAILED
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/QuietUi.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"

namespace {

double CpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long long JournalBytes(const std::string& folder) {
    long long total = 0;
    for (const char* name : {"/journal", "/originals"}) {
        struct stat st {};
        if (::stat((folder + name).c_str(), &st) == 0) total += st.st_blocks * 512;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: run_undo SITE_DIR HOME_PAGE\n");
        return 2;
    }
    ts::CQuietUi ui;
    ui.settings.Directory = argv[1];
    ui.settings.HomePage = argv[2];
    ui.settings.Target = ts::TFS_DOS_FAT;
    ui.settings.RenameHtml = ts::WEB_EXT_WINDOWS;
    ui.settings.Rename = true;
    ui.settings.AutoFileName = true;
    ui.settings.AutoReadOnly = 2;
    ui.settings.ReportSpecial = 0;
    ui.settings.ReportExternalRefs = false;
    ui.settings.DeriveUpdateLinks();
    ts::CTessaryDoc doc(ts::RealFileSystem(), ui, nullptr, nullptr);

    const double c0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    doc.CheckDirectory();
    auto t1 = std::chrono::steady_clock::now();
    const double c1 = CpuSeconds();
    bool completed = (doc.m_dwRunStatus & ts::RS_COMPLETED) != 0;
    const long long journal = JournalBytes(doc.m_strUndoRun);
    doc.UndoLast();
    auto t2 = std::chrono::steady_clock::now();
    const double c2 = CpuSeconds();
    std::printf("%.3f %.3f %.3f %.3f %lld %s\n", std::chrono::duration<double>(t1 - t0).count(),
                c1 - c0, std::chrono::duration<double>(t2 - t1).count(), c2 - c1, journal,
                completed && doc.m_bReportBuilt ? "ok" : "FAILED");
    return completed ? 0 : 1;
}
