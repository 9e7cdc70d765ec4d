// The command line's progress on standard error: on a terminal one line, redrawn at most ten
// times a second; elsewhere (a CI log, with --progress) a line when a pass begins and a count
// every few seconds, never a control character. Ctrl+C (the cancel flag) stops a walk between
// entries.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "base/Progress.h"

namespace ts {

enum class ProgressShown { NONE, TERMINAL, LINES };

class CTerminalProgress : public CProgress {
public:
    CTerminalProgress(std::FILE* err, ProgressShown shown, const std::atomic<bool>& cancel);

    void Begin(const std::string& caption, int range) override;
    bool SetDirectory(const std::string& path) override;
    void SetFile(const std::string& path) override;
    void End() override;

    // Takes the line away before anything else is written to the terminal.
    void Clear();

private:
    void Draw(bool force);

    void Line(bool force);

    std::FILE* m_err;
    ProgressShown m_shown;
    const std::atomic<bool>& m_cancel;
    std::string m_caption;
    long m_nCount = 0;
    int m_nRange = 0;
    bool m_bLineShown = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace ts
