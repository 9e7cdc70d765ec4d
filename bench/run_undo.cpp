// Times one whole run (scan, names, renames, link rewriting) and its undo on a site.
//
//   run_undo SITE_DIR HOME_PAGE
#include <chrono>
#include <cstdio>
#include <string>

#include "base/QuietUi.h"
#include "driver/TessaryDoc.h"
#include "platform/FileSystem.h"

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

    auto t0 = std::chrono::steady_clock::now();
    doc.CheckDirectory();
    auto t1 = std::chrono::steady_clock::now();
    bool completed = (doc.m_dwRunStatus & ts::RS_COMPLETED) != 0;
    doc.UndoLast();
    auto t2 = std::chrono::steady_clock::now();
    std::printf("%.3f %.3f %s\n", std::chrono::duration<double>(t1 - t0).count(),
                std::chrono::duration<double>(t2 - t1).count(),
                completed && doc.m_bReportBuilt ? "ok" : "FAILED");
    return completed ? 0 : 1;
}
