// The state one run (or undo) shares between its passes: the file system, the user
// interface, the three report streams, the site path map and the flags that live for a run.
// A test makes a fresh context for every run, so runs never leak state into each other.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Exclusions.h"
#include "base/LinkOptions.h"
#include "base/ReportStream.h"
#include "platform/FileSystem.h"

namespace ts {

class CFindings;
class CProgress;
class CRunUi;

class CRunContext {
public:
    CRunContext(CFileSystem& fs, CRunUi& ui);
    CRunContext(const CRunContext&) = delete;
    CRunContext& operator=(const CRunContext&) = delete;

    CFileSystem& fs;
    CRunUi& ui;
    CProgress& progress;

    CReportStream statusReport;
    CReportStream errorReport;
    CReportStream auxStream;

    // The heading of the files the user chose not to rename is written once per run.
    bool bNotRenamedHeadingWritten = false;

    // How links are read beyond what the pages say (published addresses, index pages).
    CLinkOptions links;

    // The directory of temporary reports.
    std::string tempDir = TempDirectory();
    // Paths the scan leaves out: the temporary directory, when it lies inside the site, holds
    // the run's own reports, which must be neither taken for site files nor moved by a rename.
    std::vector<std::string> ownPaths;

    // The entries the run leaves alone (--exclude).
    CExclusions exclusions;

    // The records of what the run finds, for a machine-readable report; null when none was
    // asked for.
    CFindings* findings = nullptr;

    // Writes an error-report line for a path.
    void ErrorLine(const std::string& path, const std::string& text);
    // That line, for a stream of its own (a thread working ahead); recorded as a finding too.
    std::string ProblemLine(const std::string& path, const std::string& text);
    // Writes an error-report line that tells of an entry skipped as it should be (hidden,
    // special): a note, not a problem. noteBytes counts what such lines took.
    void NoteLine(const std::string& path, const std::string& text);
    uint64_t noteBytes = 0;
};

}  // namespace ts
