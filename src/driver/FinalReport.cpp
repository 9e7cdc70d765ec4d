// Assembly of the final report from the two temporary reports of a run or an undo.
#include <ctime>

#include "base/EditorOptions.h"
#include "base/Profile.h"
#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "site/FileNode.h"

namespace ts {
namespace {

// Reports up to this size are shown in the view; larger ones go to the external editor.
constexpr long long kViewLimit = 32768;

// The date in the 24-character form "Wed Jan 02 02:03:55 1980", in English whatever the
// locale.
std::string DateLine(std::time_t t) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    localtime_r(&t, &tm);
    return Format("%s %s %2d %02d:%02d:%02d %04d", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

long long FileSize(CFileSystem& fs, const std::string& path) {
    FileStat st;
    if (path.empty() || !fs.Stat(path, st) || st.kind != EntryKind::File) return 0;
    return static_cast<long long>(st.size);
}

}  // namespace

int CTessaryDoc::BuildFinalReport(const std::string& statusPath, const std::string& errorPath,
                                  int nEntries, int nDirs, uint32_t runStatus) {
    CFileSystem& fs = m_fs;
    const std::string& dir = m_pMaster ? m_pMaster->Directory : m_settings.Directory;

    // 1: the External Editor options, with a report name that names no existing file.
    EditorOptions editor = LoadEditorOptions(fs, m_pProfile, dir);

    // 2: size estimate and the choice of the editor.
    long long estimate = 2048 + FileSize(fs, errorPath) + FileSize(fs, statusPath);
    bool useEditor = false;
    if (m_ui.HasLimitedView()) {
        if (estimate > kViewLimit || editor.bUseAlways) {
            if (m_ui.EditorDialog(editor) && m_pProfile)
                StoreEditorOptions(fs, *m_pProfile, editor);
        }
        useEditor = estimate > kViewLimit || editor.bUseAlways;
    }

    // 3: the final report's file.
    std::string finalPath;
    std::unique_ptr<CFile> file;
    if (useEditor) {
        finalPath = editor.strReportName;
        file = fs.OpenWrite(finalPath);
    } else {
        file = fs.CreateTemp(m_tempDir.empty() ? TempDirectory() : m_tempDir,
                             std::string(kTempPrefix), finalPath);
    }
    if (!file) return -1;
    // The file is removed again unless it is handed on, also when an exception (a lack of
    // memory while the report is read back, say) ends the assembly.
    struct RemoveUnlessKept {
        CFileSystem& fs;
        const std::string& path;
        bool keep = false;
        ~RemoveUnlessKept() {
            if (!keep) fs.Remove(path);
        }
    } guard{fs, finalPath};
    CReportStream out;
    out.Attach(file.get());

    // 4-6: title and summary sentences.
    int title = IDS_TITLE_PARTIAL_USER;
    if (runStatus & RS_INTERRUPTED_MASK)
        title = IDS_TITLE_PARTIAL_OTHER;
    else if (runStatus & RS_UNDONE)
        title = IDS_TITLE_REVERTED;
    else if (runStatus & RS_COMPLETED)
        title = IDS_TITLE_SUCCESS;
    out << LoadString(title) << "\n\n";
    // One look at the error report decides both the sentence and its section, so they agree;
    // one that cannot be opened is judged by its size (its section then says so).
    std::unique_ptr<CFile> errorIn = errorPath.empty() ? nullptr : fs.OpenRead(errorPath);
    long long errorSize = errorIn ? errorIn->Length() : FileSize(fs, errorPath);
    m_bFileErrors = errorSize > 0;
    if (errorSize > 0) out << LoadString(IDS_SUMMARY_FILE_ERRORS) << "\n";
    if (runStatus & RS_HTML_REACHED) {
        if ((runStatus & (RS_SYNTAX_ERRORS | RS_UNRESOLVED | RS_UNUSED)) == 0)
            out << LoadString(IDS_SUMMARY_CLEAN) << "\n";
        if (runStatus & RS_SYNTAX_ERRORS) out << LoadString(IDS_SUMMARY_SYNTAX) << "\n";
        if (runStatus & RS_UNRESOLVED) out << LoadString(IDS_SUMMARY_UNRESOLVED) << "\n";
        if (runStatus & RS_UNUSED) out << LoadString(IDS_SUMMARY_UNUSED) << "\n";
    }

    // 7-10: header, date, counts and the settings.
    out << "\n" << kSeparatorLine << LoadString(IDS_HEADER) << "\n" << kSeparatorLine;
    std::time_t now = m_now ? m_now() : std::time(nullptr);
    out << LoadString(IDS_CHECKED_ON) << DateLine(now) << "\n\n";
    if (m_settings.UseSubdirs)
        out << Format(LoadString(IDS_COUNTS), nEntries - nDirs, nDirs);
    else
        out << Format(LoadString(IDS_COUNTS), nEntries, 1);
    out << "\n\n";
    // The summary's lines end in "\r\n" for the wizard; in the report every line ends in
    // one CR LF like all the others.
    std::string summary = SettingsSummary(m_settings);
    std::string plain;
    plain.reserve(summary.size());
    for (size_t i = 0; i < summary.size(); ++i)
        if (!(summary[i] == '\r' && i + 1 < summary.size() && summary[i + 1] == '\n'))
            plain += summary[i];
    out << plain << kSectionGap;
    out.Flush();

    // 11-12: the error section and the status report, copied unchanged.
    auto copyReport = [&](std::unique_ptr<CFile> in, int openFailed, int readFailed,
                          bool errorSection) {
        if (!in) {
            out << LoadString(openFailed) << "\n";
            if (errorSection) out << kSectionGap;
            return;
        }
        long long length = in->Length();
        if (length <= 0) return;
        if (errorSection)
            out << kSeparatorLine << LoadString(IDS_SPECIAL_HEADING) << "\n" << kSeparatorLine;
        char buf[65536];
        bool ok = true;
        for (;;) {
            long long n = in->Read(buf, sizeof buf);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            out.WriteRaw(std::string_view(buf, static_cast<size_t>(n)));
        }
        if (!ok) out << LoadString(readFailed) << "\n";
        if (errorSection) out << kSectionGap;
    };
    copyReport(std::move(errorIn), IDS_ERR_OPEN_ERROR_REPORT, IDS_ERR_READ_ERROR_REPORT, true);
    copyReport(statusPath.empty() ? nullptr : fs.OpenRead(statusPath), IDS_ERR_OPEN_STATUS_REPORT,
               IDS_ERR_READ_STATUS_REPORT, false);
    out.Detach();

    // 13: close; a report that could not be written whole is a report that failed.
    // A report for the editor stays on the disk; one for the view is read back at once and
    // removed, so it need not reach the disk first.
    bool written = !out.Failed() && (!useEditor || file->Sync()) && file->Close();
    file.reset();
    if (!written) return -1;
    int result = 1;

    // 14: hand the report to the external editor.
    if (useEditor) {
        if (!editor.strEditor.empty() && m_pEditor->FindEditor(editor.strEditor)) {
            if (!m_pEditor->StartEditor(editor.strEditor, finalPath)) {
                m_ui.MessageBox(FormatMessage(IDS_EDITOR_FAILED, editor.strEditor, finalPath));
                result = 0;
            }
        } else {
            m_ui.MessageBox(FormatMessage(IDS_EDITOR_NOT_FOUND, editor.strEditor, finalPath));
            result = 0;
        }
        guard.keep = true;
        m_strExternalReport = finalPath;
        SetView(std::string(LoadString(IDS_REPORT_LOCATED_AT)) + "\r\n" + finalPath, false);
        return result;
    }

    // 15: show it in the view.
    std::string text;
    if (!ReadWholeFile(fs, finalPath, text)) {
        guard.keep = true;
        std::string msg = FormatMessage(IDS_REPORT_READ_BACK, finalPath);
        m_ui.MessageBox(msg);
        m_bModified = false;
        ShowInView(msg);
        return 0;
    }
    m_strExternalReport.clear();
    SetView(std::move(text), true);
    return result;
}

}  // namespace ts
