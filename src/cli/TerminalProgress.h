// The command line's progress: one line on standard error, redrawn at most ten times a second,
// when standard error is a terminal. Ctrl+C (the cancel flag) stops a walk between entries.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "base/Progress.h"

namespace ts {

class CTerminalProgress : public CProgress {
public:
    // show: err is a terminal the line may be drawn on.
    CTerminalProgress(std::FILE* err, bool show, const std::atomic<bool>& cancel);

    void Begin(const std::string& caption, int range) override;
    bool SetDirectory(const std::string& path) override;
    void SetFile(const std::string& path) override;
    void End() override;

    // Takes the line away before anything else is written to the terminal.
    void Clear();

private:
    void Draw(bool force);

    std::FILE* m_err;
    bool m_bShow;
    const std::atomic<bool>& m_cancel;
    std::string m_caption;
    long m_nCount = 0;
    int m_nRange = 0;
    bool m_bLineShown = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace ts
