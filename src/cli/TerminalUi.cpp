#include "cli/TerminalUi.h"

#include <signal.h>

#include <cstring>

#include "app/Strings.h"
#include "site/DirXpNode.h"
#include "site/LineEndVerify.h"

namespace ts {

std::atomic<bool> CTerminalUi::s_cancel{false};

namespace {

void OnInterrupt(int) {
    CTerminalUi::s_cancel = true;
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESETHAND;  // the second Ctrl+C gets the default: the process ends
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

CTerminalUi::CTerminalUi(const RunSettings& settings, std::FILE* in, std::FILE* err,
                         bool interactive, bool progress, bool yes)
    : m_settings(settings),
      m_in(in),
      m_err(err),
      m_bInteractive(interactive),
      m_bProgress(progress),
      m_bYes(yes) {}

bool CTerminalUi::RunWizard(RunSettings& settings) {
    settings = m_settings;
    return true;
}

int CTerminalUi::MessageBox(const std::string& text, int style) {
    ClearProgress();
    std::fprintf(m_err, "%s: %s\n", kAppName, text.c_str());
    std::fflush(m_err);
    if ((style & MB_OKCANCEL) && m_bInteractive && !m_bYes)
        return AskYesNo("Continue?") ? ID_OK : ID_CANCEL;
    return ID_OK;
}

void CTerminalUi::ProgressBegin(const std::string& caption, int range) {
    m_caption = caption;
    m_nRange = range;
    m_nCount = 0;
    DrawProgress(true);
}

bool CTerminalUi::ProgressSetDirectory(const std::string&) {
    return s_cancel.load();
}

void CTerminalUi::ProgressSetFile(const std::string&) {
    ++m_nCount;
    DrawProgress(false);
}

void CTerminalUi::ProgressEnd() {
    ClearProgress();
}

void CTerminalUi::DrawProgress(bool force) {
    if (!m_bProgress) return;
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

void CTerminalUi::ClearProgress() {
    if (!m_bLineShown) return;
    std::fprintf(m_err, "\r\033[K");
    std::fflush(m_err);
    m_bLineShown = false;
}

std::string CTerminalUi::ReadLine() {
    std::string line;
    int c;
    while ((c = std::fgetc(m_in)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool CTerminalUi::AskYesNo(const std::string& question) {
    if (!m_bInteractive) return false;
    ClearProgress();
    std::fprintf(m_err, "%s [y/N] ", question.c_str());
    std::fflush(m_err);
    std::string answer = ReadLine();
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int CTerminalUi::RenamePrompt(CRunContext&, CFileNode&, int, bool) {
    return RENAME_ACCEPT;
}

int CTerminalUi::ReadOnlyPrompt(const std::string&) {
    return READONLY_NO;
}

bool CTerminalUi::VerifyFilenames(CRunContext&, CDirXpNode&, int) {
    return true;
}

// Lists the files whose line ends will be converted; y converts them all, numbers leave those
// files out, anything else cancels the run.
int CTerminalUi::VerifyLineEnds(CRunContext& ctx, CDirXpNode& top) {
    std::vector<LineEndRow> rows = LineEndRows(top);
    if (!m_bInteractive || m_bYes) return ApplyLineEndRows(ctx, rows);
    ClearProgress();
    std::fprintf(m_err, "Files whose line ends will be converted (in %s):\n",
                 top.m_strPath.c_str());
    for (size_t i = 0; i < rows.size(); ++i)
        std::fprintf(m_err, "%5zu  %s\n", i + 1, rows[i].text.c_str());
    std::fprintf(m_err, "Convert these files? [y = all; numbers = leave those out; n = cancel] ");
    std::fflush(m_err);
    std::string answer = ReadLine();
    if (answer == "y" || answer == "Y" || answer == "yes") return ApplyLineEndRows(ctx, rows);
    std::vector<size_t> numbers;
    if (!ParseNumbers(answer, rows.size(), numbers) || numbers.empty()) return VERIFY_ASCII_CANCEL;
    for (size_t k : numbers)
        rows[k - 1].checked = false;
    return ApplyLineEndRows(ctx, rows);
}

bool ParseNumbers(const std::string& text, size_t count, std::vector<size_t>& numbers) {
    numbers.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ',' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (text[i] < '0' || text[i] > '9') return false;
        size_t v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + static_cast<size_t>(text[i] - '0');
            if (v > count) return false;
            ++i;
        }
        if (v == 0) return false;
        numbers.push_back(v);
    }
    return true;
}

void CTerminalUi::SetViewText(const std::string& text, bool) {
    m_viewText = text;
}

}  // namespace ts
