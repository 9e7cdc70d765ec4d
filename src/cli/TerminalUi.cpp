#include "cli/TerminalUi.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "base/Strings.h"
#include "platform/ShownText.h"
#include "platform/StopSignals.h"
#include "site/LineEndVerify.h"
#include "site/RenamePrompt.h"
#include "site/VerifyLists.h"

namespace ts {

namespace {

// The first letter of an answer in lower case; dflt for an empty answer.
char FirstLetter(const std::string& answer, char dflt) {
    for (char c : answer)
        if (c != ' ' && c != '\t')
            return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return dflt;
}

bool IsRowSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}

// The words of an answer between separators.
std::vector<std::string> Tokens(const std::string& answer) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < answer.size()) {
        while (i < answer.size() && IsRowSeparator(answer[i]))
            ++i;
        if (i >= answer.size()) break;
        size_t start = i;
        while (i < answer.size() && !IsRowSeparator(answer[i]))
            ++i;
        tokens.push_back(answer.substr(start, i - start));
    }
    return tokens;
}

// Digits only, and few enough of them to be a count.
bool RowNumber(const std::string& text, size_t& n) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::stoul(text);
    return true;
}

// Adds the rows (counted from 0) that "5" or "5-7" names; false unless they lie in 1..count.
bool TokenRows(const std::string& token, size_t count, std::vector<size_t>& rows) {
    size_t dash = token.find('-');
    std::string a = token.substr(0, dash),
                b = dash == std::string::npos ? a : token.substr(dash + 1);
    size_t from, to;
    if (!RowNumber(a, from) || !RowNumber(b, to) || from < 1 || to < from || to > count)
        return false;
    for (size_t n = from; n <= to; ++n)
        rows.push_back(n - 1);
    return true;
}

// Unchecks (or checks again) the rows named by numbers and ranges such as "2 5-7".
bool ToggleRows(const std::string& answer, std::vector<bool>& checked, std::string& bad) {
    std::vector<size_t> rows;
    for (const std::string& token : Tokens(answer)) {
        if (!TokenRows(token, checked.size(), rows)) {
            bad = token;
            return false;
        }
    }
    if (rows.empty()) {
        bad = answer;
        return false;
    }
    for (size_t r : rows)
        checked[r] = !checked[r];
    return true;
}

}  // namespace

CTerminalUi::CTerminalUi(const RunSettings& settings, std::FILE* in, std::FILE* err,
                         bool interactive, ProgressShown progress, bool yes)
    : m_settings(settings),
      m_in(in),
      m_err(err),
      m_bInteractive(interactive),
      m_bYes(yes),
      m_progress(err, progress, StopSignalled()) {}

bool CTerminalUi::RunWizard(RunSettings& settings) {
    settings = m_settings;
    return true;
}

MessageBoxAnswer CTerminalUi::MessageBox(const std::string& text, int style) {
    m_progress.Clear();
    std::fprintf(m_err, "%s: %s\n", kAppName, ShownText(text, true).c_str());
    std::fflush(m_err);
    if ((style & MB_OKCANCEL) && m_bInteractive && !m_bYes)
        return AskYesNo("Continue?") ? ID_OK : ID_CANCEL;
    return ID_OK;
}

std::string CTerminalUi::ReadLine() {
    std::string line;
    int c;
    while ((c = std::fgetc(m_in)) != EOF && c != '\n')
        line += static_cast<char>(c);
    m_bEof = c == EOF && line.empty();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool CTerminalUi::AskYesNo(const std::string& question) {
    if (!m_bInteractive) return false;
    m_progress.Clear();
    std::fprintf(m_err, "%s [y/N] ", ShownText(question, true).c_str());
    std::fflush(m_err);
    std::string answer = ReadLine();
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

RenameAnswer CTerminalUi::RenamePrompt(CRunContext&, CFileNode& node, int target, bool inPass) {
    if (!m_bInteractive) return RENAME_ACCEPT;
    m_progress.Clear();
    CRenamePrompt prompt(&node, target, inPass);
    std::string field = prompt.InitialText();
    std::fprintf(m_err, "\n%s: Rename File\n%s\n", kAppName, prompt.Message().c_str());
    std::fprintf(m_err, "  Directory:          %s\n", ShownName(prompt.Directory()).c_str());
    std::fprintf(m_err, "  Original Filename:  %s\n", ShownName(prompt.OriginalName()).c_str());
    for (;;) {
        std::fprintf(m_err, "  Suggested Change:   %s\n", ShownName(field).c_str());
        std::fprintf(m_err, "%s? ",
                     inPass ? "[a]ccept, accept a[l]l, [n]o rename, [e]dit or [c]ancel"
                            : "[a]ccept, [e]dit or [c]ancel");
        std::fflush(m_err);
        std::string answer = ReadLine();
        if (m_bEof) return RENAME_CANCEL;
        char c = FirstLetter(answer, 'a');
        if (c == 'a' || (c == 'l' && inPass)) {
            std::string message;
            if (prompt.Accept(field, message)) return c == 'a' ? RENAME_ACCEPT : RENAME_ACCEPT_ALL;
            std::fprintf(m_err, "%s\n", ShownText(message, true).c_str());
        } else if (c == 'n' && inPass) {
            return RENAME_NO_RENAME;
        } else if (c == 'c') {
            return RENAME_CANCEL;
        } else if (c == 'e') {
            std::fprintf(m_err, "New name: ");
            std::fflush(m_err);
            std::string line = ReadLine();
            if (m_bEof) return RENAME_CANCEL;
            std::string typed, refused;
            int code = prompt.Filter().TypeName(line, typed, refused);
            if (code == KEY_OK)
                field = typed;
            else
                std::fprintf(m_err, "Refused: %s.\n",
                             ShownName(prompt.Filter().Reason(code, refused)).c_str());
        } else {
            std::fprintf(m_err, "Please answer with one of the letters in brackets.\n");
        }
    }
}

ReadOnlyAnswer CTerminalUi::ReadOnlyPrompt(const std::string& text) {
    // Nobody to ask: the file is left as it is.
    if (!m_bInteractive) return READONLY_NO;
    m_progress.Clear();
    std::fprintf(m_err, "\n%s: Read-only File\n%s\n", kAppName, ShownText(text, true).c_str());
    std::fprintf(m_err, "Do you want to change its attributes to make it writable?\n");
    for (;;) {
        std::fprintf(m_err, "[y]es, yes to [a]ll, [n]o or no to a[l]l? ");
        std::fflush(m_err);
        std::string answer = ReadLine();
        if (m_bEof) return READONLY_NO;
        switch (FirstLetter(answer, 'y')) {
            case 'y':
                return READONLY_YES;
            case 'a':
                return READONLY_YES_TO_ALL;
            case 'n':
                return READONLY_NO;
            case 'l':
                return READONLY_NO_TO_ALL;
            default:
                std::fprintf(m_err, "Please answer with one of the letters in brackets.\n");
        }
    }
}

// Asks until the user confirms the list (true) or stops (false); row numbers toggle rows.
bool CTerminalUi::ConfirmRows(const char* question, const char* leftOut,
                              std::vector<bool>& checked) {
    for (;;) {
        std::fprintf(m_err, "%s", question);
        std::fflush(m_err);
        std::string answer = ReadLine();
        if (m_bEof) return false;
        char c = FirstLetter(answer, 'n');
        if (c == 'y') return true;
        if (c == 'n') return false;
        std::string bad;
        if (!ToggleRows(answer, checked, bad)) {
            std::fprintf(m_err, "Not a row number from 1 to %zu: %s\n", checked.size(),
                         ShownName(bad).c_str());
            continue;
        }
        std::string left;
        for (size_t i = 0; i < checked.size(); ++i)
            if (!checked[i]) left += (left.empty() ? "" : ", ") + std::to_string(i + 1);
        std::fprintf(m_err, "%s: %s\n", leftOut, left.empty() ? "none" : left.c_str());
    }
}

VerifyChoices CTerminalUi::VerifyFilenames(CVerifyNameList& list) {
    const std::vector<VerifyNameRow>& rows = list.Rows();
    VerifyChoices choices{true, std::vector<bool>(rows.size(), true)};
    if (!m_bInteractive || m_bYes) return choices;
    m_progress.Clear();
    std::vector<std::string> suggested;
    size_t width = std::strlen(LoadString(IDS_SUGGESTED_FILENAME));
    for (const VerifyNameRow& row : rows) {
        suggested.push_back(ShownName(row.strSuggested));
        width = std::max(width, suggested.back().size());
    }
    width = std::min<size_t>(width, 40);
    std::fprintf(m_err, "\n%s: Verify Filenames\nDirectory: %s\n%7s  %-*s  %s\n", kAppName,
                 ShownName(list.Directory()).c_str(), "#", static_cast<int>(width),
                 LoadString(IDS_SUGGESTED_FILENAME), LoadString(IDS_ORIGINAL_FILENAME));
    for (size_t i = 0; i < rows.size(); ++i)
        std::fprintf(m_err, "%7zu  %-*s  %s\n", i + 1, static_cast<int>(width),
                     suggested[i].c_str(), ShownName(rows[i].strOriginal).c_str());
    choices.bOk = ConfirmRows(
        "Rename these entries? y = rename, n = stop here, or the numbers of entries "
        "to leave unrenamed (like 2 5-7; again to rename them after all) [y/N/"
        "numbers] ",
        "Left unrenamed", choices.checked);
    return choices;
}

// Lists the files whose line ends will be converted; y converts them, row numbers leave those
// files out (or put them back), n cancels the run.
VerifyChoices CTerminalUi::VerifyLineEnds(const std::string& directory,
                                          const std::vector<LineEndRow>& rows) {
    VerifyChoices choices{true, std::vector<bool>(rows.size(), true)};
    if (!m_bInteractive || m_bYes) return choices;
    m_progress.Clear();
    std::fprintf(m_err, "\n%s: Verify ASCII Line End Conversions\nDirectory: %s\n", kAppName,
                 ShownName(directory).c_str());
    for (size_t i = 0; i < rows.size(); ++i)
        std::fprintf(m_err, "%7zu  %s\n", i + 1, ShownName(rows[i].text).c_str());
    choices.bOk = ConfirmRows(
        "Convert these files? y = convert, n = stop here, or the numbers of files "
        "to leave as they are (like 2 5-7; again to convert them after all) [y/N/"
        "numbers] ",
        "Left as they are", choices.checked);
    return choices;
}

// The report stays in the document; the command line prints it from there.
void CTerminalUi::SetViewText(const std::string&, bool) {}

}  // namespace ts
