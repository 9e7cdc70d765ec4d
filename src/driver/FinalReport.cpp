#include "driver/FinalReport.h"

#include <ctime>

#include "base/EditorOptions.h"
#include "base/Profile.h"
#include "base/ReportStream.h"
#include "base/Strings.h"
#include "driver/TessaryDoc.h"

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

// The summary's lines end in "\r\n" for the wizard; in the report every line ends in one
// CR LF like all the others.
std::string PlainSummary(const RunSettings& settings) {
    std::string summary = SettingsSummary(settings);
    std::string plain;
    plain.reserve(summary.size());
    for (size_t i = 0; i < summary.size(); ++i)
        if (!(summary[i] == '\r' && i + 1 < summary.size() && summary[i + 1] == '\n'))
            plain += summary[i];
    return plain;
}

int TitleOf(uint32_t runStatus) {
    if (runStatus & RS_INTERRUPTED_MASK) return IDS_TITLE_PARTIAL_OTHER;
    if (runStatus & RS_UNDONE) return IDS_TITLE_REVERTED;
    if (runStatus & RS_COMPLETED) return IDS_TITLE_SUCCESS;
    return IDS_TITLE_PARTIAL_USER;
}

// Removes the report's file unless it is handed on, also when an exception (a lack of
// memory while the report is read back, say) ends the assembly.
struct RemoveUnlessKept {
    CFileSystem& fs;
    const std::string& path;
    bool keep = false;
    ~RemoveUnlessKept() {
        if (!keep) fs.Remove(path);
    }
};

class CFinalReport {
public:
    CFinalReport(CTessaryDoc& doc, const FinalReportInput& in)
        : m_doc(doc), m_fs(doc.Fs()), m_ui(doc.Ui()), m_in(in) {}

    int Build() {
        ChooseEditor();
        if (!Open()) return -1;
        RemoveUnlessKept guard{m_fs, m_finalPath};
        m_out.Attach(m_file.get());
        WriteTitle();
        WriteHeader();
        CopyReport(std::move(m_errorIn), IDS_ERR_OPEN_ERROR_REPORT, IDS_ERR_READ_ERROR_REPORT,
                   true);
        CopyReport(m_in.statusPath.empty() ? nullptr : m_fs.OpenRead(m_in.statusPath),
                   IDS_ERR_OPEN_STATUS_REPORT, IDS_ERR_READ_STATUS_REPORT, false);
        m_out.Detach();
        if (!CloseFile()) return -1;
        if (m_bUseEditor) return HandToEditor(guard);
        return ShowInView(guard);
    }

private:
    // The External Editor options, with a report name that names no existing file, and the
    // choice of the editor for a large report. The dialog asks only a user who named an
    // editor: without one the desktop's default editor takes the report, and a dialog with an
    // empty editor box would only lead to a failure.
    void ChooseEditor() {
        m_editor = LoadEditorOptions(m_fs, m_doc.Profile(), m_doc.ReportDirectory());
        long long estimate =
            2048 + FileSize(m_fs, m_in.errorPath) + FileSize(m_fs, m_in.statusPath);
        if (!m_ui.HasLimitedView()) return;
        m_bLarge = estimate > kViewLimit;
        if ((m_bLarge || m_editor.bUseAlways) && HasOwnEditor()) {
            if (m_ui.EditorDialog(m_editor) && m_doc.Profile())
                StoreEditorOptions(m_fs, *m_doc.Profile(), m_editor);
        }
        m_bUseEditor = m_bLarge || m_editor.bUseAlways;
    }

    bool HasOwnEditor() const {
        return m_editor.strEditor.find_first_not_of(" \t") != std::string::npos;
    }

    bool Open() {
        if (m_bUseEditor) {
            m_finalPath = m_editor.strReportName;
            m_file = CreateInPlaceOf(m_fs, m_finalPath);
        } else {
            m_file = m_fs.CreateTemp(m_doc.m_tempDir.empty() ? TempDirectory() : m_doc.m_tempDir,
                                     std::string(kTempPrefix), m_finalPath);
        }
        return m_file != nullptr;
    }

    // The title and the summary sentences. One look at the error report decides both the
    // sentence and its section, so they agree; one that cannot be opened is judged by its
    // size (its section then says so).
    void WriteTitle() {
        uint32_t runStatus = m_in.runStatus;
        m_out << LoadString(TitleOf(runStatus)) << "\n\n";
        m_errorIn = m_in.errorPath.empty() ? nullptr : m_fs.OpenRead(m_in.errorPath);
        long long errorSize = m_errorIn ? m_errorIn->Length() : FileSize(m_fs, m_in.errorPath);
        m_doc.m_bFileErrors = errorSize > 0;
        m_doc.m_bFileProblems = errorSize > static_cast<long long>(m_doc.m_nNoteBytes);
        if (errorSize > 0) m_out << LoadString(IDS_SUMMARY_FILE_ERRORS) << "\n";
        // Only a run that ran to its end can call the site clean; one that ended early says
        // what it did not get to instead.
        const bool whole = (runStatus & RS_COMPLETED) && !(runStatus & RS_INTERRUPTED_MASK);
        if (!whole) WriteUnfinished();
        if (!(runStatus & RS_HTML_REACHED)) return;
        constexpr uint32_t kProblems = RS_SYNTAX_ERRORS | RS_UNRESOLVED | RS_FRAGMENTS | RS_UNUSED |
                                       RS_WORK_FAILED | RS_EXTERNAL_FAILED;
        if (whole && (runStatus & kProblems) == 0) m_out << LoadString(IDS_SUMMARY_CLEAN) << "\n";
        if (runStatus & RS_SYNTAX_ERRORS) m_out << LoadString(IDS_SUMMARY_SYNTAX) << "\n";
        if (runStatus & RS_UNRESOLVED) m_out << LoadString(IDS_SUMMARY_UNRESOLVED) << "\n";
        if (runStatus & RS_FRAGMENTS) m_out << LoadString(IDS_SUMMARY_FRAGMENTS) << "\n";
        if (runStatus & RS_UNUSED) m_out << LoadString(IDS_SUMMARY_UNUSED) << "\n";
        if (runStatus & RS_EXTERNAL_FAILED) m_out << LoadString(IDS_SUMMARY_EXTERNAL) << "\n";
    }

    void WriteUnfinished() {
        const RunPasses& passes = m_in.passes;
        if (passes.due == 0) return;
        const std::string list = UnfinishedText(passes);
        if (list.empty())
            m_out << LoadString(IDS_SUMMARY_UNFINISHED) << "\n";
        else
            m_out << FormatMessage(IDS_SUMMARY_UNFINISHED_LIST, list) << "\n";
    }

    // The header, the date, the counts and the settings.
    void WriteHeader() {
        const RunSettings& settings = m_doc.m_settings;
        m_out << "\n" << kSeparatorLine << LoadString(IDS_HEADER) << "\n" << kSeparatorLine;
        m_out << LoadString(IDS_CHECKED_ON) << DateLine(m_doc.Now()) << "\n\n";
        if (settings.UseSubdirs)
            m_out << Format(LoadString(IDS_COUNTS), m_in.nEntries - m_in.nDirs, m_in.nDirs);
        else
            m_out << Format(LoadString(IDS_COUNTS), m_in.nEntries, 1);
        m_out << "\n\n";
        m_out << PlainSummary(settings) << kSectionGap;
        m_out.Flush();
    }

    // Copies a temporary report unchanged; the error report gets its own heading.
    void CopyReport(std::unique_ptr<CFile> in, int openFailed, int readFailed, bool errorSection) {
        if (!in) {
            m_out << LoadString(openFailed) << "\n";
            if (errorSection) m_out << kSectionGap;
            return;
        }
        long long length = in->Length();
        if (length <= 0) return;
        if (errorSection)
            m_out << kSeparatorLine << LoadString(IDS_SPECIAL_HEADING) << "\n" << kSeparatorLine;
        char buf[65536];
        long long n;
        while ((n = in->Read(buf, sizeof buf)) > 0)
            m_out.WriteRaw(std::string_view(buf, static_cast<size_t>(n)));
        if (n < 0) m_out << LoadString(readFailed) << "\n";
        if (errorSection) m_out << kSectionGap;
    }

    // A report that could not be written whole is a report that failed. A report for the
    // editor stays on the disk; one for the view is read back at once and removed, so it need
    // not reach the disk first.
    bool CloseFile() {
        bool written = !m_out.Failed() && (!m_bUseEditor || m_file->Sync()) && m_file->Close();
        m_file.reset();
        return written;
    }

    int HandToEditor(RemoveUnlessKept& guard) {
        guard.keep = true;
        m_doc.m_strExternalReport = m_finalPath;
        if (!HasOwnEditor()) return HandToDefaultEditor();
        int result = 1;
        const std::string& editor = m_editor.strEditor;
        if (!editor.empty() && m_doc.m_pEditor->FindEditor(editor)) {
            if (!m_doc.m_pEditor->StartEditor(editor, m_finalPath)) {
                m_ui.MessageBox(FormatMessage(IDS_EDITOR_FAILED, editor, m_finalPath));
                result = 0;
            }
        } else {
            m_ui.MessageBox(FormatMessage(IDS_EDITOR_NOT_FOUND, editor, m_finalPath));
            result = 0;
        }
        ShowLocation();
        return result;
    }

    void ShowLocation() {
        m_doc.SetView(std::string(LoadString(IDS_REPORT_LOCATED_AT)) + "\r\n" + m_finalPath, false);
    }

    // When no default editor can be started either, the view shows the whole report after
    // all, however large, and the status bar says why and where its file is. The file stays:
    // it is the saved report, so the view does not count as unsaved.
    int HandToDefaultEditor() {
        if (m_doc.m_pEditor->StartDefaultEditor(m_finalPath)) {
            ShowLocation();
            return 1;
        }
        std::string text;
        if (!ReadWholeFile(m_fs, m_finalPath, text)) {
            std::string msg = FormatMessage(IDS_REPORT_READ_BACK, m_finalPath);
            m_ui.MessageBox(msg);
            ShowLocation();
            return 0;
        }
        m_doc.SetView(std::move(text), false);
        m_ui.ShowStatusNote(
            FormatMessage(m_bLarge ? IDS_NO_EDITOR_LARGE : IDS_NO_EDITOR, m_finalPath));
        return 1;
    }

    int ShowInView(RemoveUnlessKept& guard) {
        if (m_ui.TakesReportFile()) {
            guard.keep = true;
            m_doc.m_strExternalReport.clear();
            m_doc.SetViewFile(m_finalPath);
            return 1;
        }
        std::string text;
        if (!ReadWholeFile(m_fs, m_finalPath, text)) {
            guard.keep = true;
            std::string msg = FormatMessage(IDS_REPORT_READ_BACK, m_finalPath);
            m_ui.MessageBox(msg);
            m_doc.m_bModified = false;
            m_doc.ShowInView(msg);
            return 0;
        }
        m_doc.m_strExternalReport.clear();
        m_doc.SetView(std::move(text), true);
        return 1;
    }

    CTessaryDoc& m_doc;
    CFileSystem& m_fs;
    CRunUi& m_ui;
    const FinalReportInput& m_in;
    EditorOptions m_editor;
    bool m_bUseEditor = false;
    bool m_bLarge = false;
    std::string m_finalPath;
    std::unique_ptr<CFile> m_file;
    std::unique_ptr<CFile> m_errorIn;
    CReportStream m_out;
};

}  // namespace

int BuildFinalReport(CTessaryDoc& doc, const FinalReportInput& in) {
    return CFinalReport(doc, in).Build();
}

}  // namespace ts
