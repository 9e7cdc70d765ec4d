// The state one run (or undo) shares between its passes: the file system, the user
// interface, the three report streams, the site path map and the flags that live for a run.
// A test makes a fresh context for every run, so runs never leak state into each other.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "base/ReportStream.h"
#include "platform/FileSystem.h"

namespace ts {

class CProgress;
class CRunUi;

// State of one kind of hierarchy walk: its nesting depth and its cancel flag.
struct WalkState {
    int depth = 0;
    bool cancel = false;
};

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

    WalkState walk;      // WalkHierarchy
    WalkState walkWith;  // WalkHierarchyWith
    // External URLs already written as links to the external-URL page.
    std::unique_ptr<std::unordered_set<std::string>> externalSeen;

    // The clock of the report's date line; tests fix it.
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    // The directory of temporary reports.
    std::string tempDir = TempDirectory();

    // Writes an error-report line for a path.
    void ErrorLine(const std::string& path, const std::string& text);
};

}  // namespace ts
