#include "cli/TerminalProgress.h"

#include "base/Strings.h"

namespace ts {

CTerminalProgress::CTerminalProgress(std::FILE* err, ProgressShown shown,
                                     const std::atomic<bool>& cancel)
    : m_err(err), m_shown(shown), m_cancel(cancel) {}

void CTerminalProgress::Begin(const std::string& caption, int range) {
    m_caption = caption;
    m_nRange = range;
    m_nCount = 0;
    Draw(true);
}

bool CTerminalProgress::SetDirectory(const std::string&) {
    return m_cancel.load();
}

void CTerminalProgress::SetFile(const std::string&) {
    ++m_nCount;
    Draw(false);
}

void CTerminalProgress::End() {
    Clear();
}

// A log keeps every line: one when a pass begins, then a count every five seconds.
void CTerminalProgress::Line(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::seconds(5)) return;
    m_lastDraw = now;
    if (force)
        std::fprintf(m_err, "%s: %s\n", kAppName, m_caption.c_str());
    else if (m_nRange > 0)
        std::fprintf(m_err, "%s: %s: %ld of %d\n", kAppName, m_caption.c_str(), m_nCount, m_nRange);
    else
        std::fprintf(m_err, "%s: %s: %ld\n", kAppName, m_caption.c_str(), m_nCount);
    std::fflush(m_err);
}

void CTerminalProgress::Draw(bool force) {
    if (m_shown == ProgressShown::LINES) return Line(force);
    if (m_shown != ProgressShown::TERMINAL) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;
    if (m_nRange > 0)
        std::fprintf(m_err, "\r%s: %s: %ld of %d\033[K", kAppName, m_caption.c_str(), m_nCount,
                     m_nRange);
    else
        std::fprintf(m_err, "\r%s: %s: %ld\033[K", kAppName, m_caption.c_str(), m_nCount);
    std::fflush(m_err);
    m_bLineShown = true;
}

void CTerminalProgress::Clear() {
    if (!m_bLineShown) return;
    std::fprintf(m_err, "\r\033[K");
    std::fflush(m_err);
    m_bLineShown = false;
}

}  // namespace ts
