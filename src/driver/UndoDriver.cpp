#include "driver/UndoDriver.h"

#include <unistd.h>
#include <algorithm>

#include <cerrno>
#include <cstring>
#include <new>
#include <set>

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "driver/TempReports.h"
#include "driver/TessaryDoc.h"
#include "platform/Process.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "platform/TreeLock.h"
#include "site/DirXpNode.h"
#include "site/RunHistory.h"

namespace ts {
namespace {

// The report's sections of an undo, in the order they are written.
enum Section { RENAMES, LINKS, LINK_TEXTS, LINE_ENDS, REDIRECTS, SECTIONS };
constexpr const char* kHeadings[SECTIONS] = {
    "RENAMED FILES:", "SYMBOLIC LINKS RE-POINTED:", "URL LINK RENAMING:",
    "FILES WITH CHANGED LINE ENDINGS:", "REDIRECTS REMOVED:"};

// The section and the report line of an undone change; false for a change that has none
// (a mode given back).
bool LineOf(const UndoOutcome& o, Section& section, std::string& line) {
    const JournalRecord& r = o.record;
    switch (r.kind) {
        case JournalRecord::RENAME:
            section = RENAMES;
            line =
                PadRight(ShownName(r.name), 36) + std::string(kIndent) + ShownName(o.path) + "\n";
            return true;
        case JournalRecord::LINK:
            section = LINKS;
            line =
                PadRight(ShownName(r.before), 36) + std::string(kIndent) + ShownName(o.path) + "\n";
            return true;
        case JournalRecord::CONTENT:
        case JournalRecord::CREATE:
            section = r.after == "redirects" ? REDIRECTS
                      : r.after == "links"   ? LINK_TEXTS
                                             : LINE_ENDS;
            line = r.before;
            return true;
        default:
            return false;
    }
}

// Files and directories below top, as the header of a report counts them.
void CountTree(CFileSystem& fs, const std::string& dir, int& entries, int& dirs) {
    std::vector<std::string> names;
    if (!fs.ListDir(dir, names)) return;
    for (const std::string& name : names) {
        FileStat st;
        const std::string path = JoinPath(dir, name);
        ++entries;
        if (!fs.Stat(path, st) || st.isLink || st.kind != EntryKind::Directory) continue;
        ++dirs;
        CountTree(fs, path, entries, dirs);
    }
}

// A symbolic link is listed under the name it has once the renames are undone too.
std::string LinkPathAfterUndo(const UndoOutcome& link, const std::vector<UndoOutcome>& outcomes) {
    for (const UndoOutcome& o : outcomes) {
        const JournalRecord& r = o.record;
        if (o.result == UndoOutcome::UNDONE && r.kind == JournalRecord::RENAME &&
            r.dirId == link.record.dirId && r.after == link.record.name)
            return JoinPath(DirName(link.path), r.name);
    }
    return link.path;
}

}  // namespace

CUndoDriver::CUndoDriver(CTessaryDoc& doc)
    : m_doc(doc), m_ui(doc.Ui()), m_strFolder(doc.m_strUndoRun) {}

CUndoDriver::~CUndoDriver() = default;

void CUndoDriver::Run() {
    m_doc.m_dwRunStatus = RS_UNDONE;
    m_doc.m_bUndoPartly = false;
    m_doc.m_passes = RunPasses();
    m_doc.m_nNoteBytes = 0;
    m_doc.m_bReportBuilt = false;
    bool read = false;
    try {
        read = Undo();
    } catch (const std::bad_alloc&) {
        m_doc.m_dwRunStatus |= RS_LOW_MEMORY;
    } catch (const std::exception&) {
        m_doc.m_dwRunStatus |= RS_EXCEPTION;
    }
    if (read || m_pReports) Finish();
}

bool CUndoDriver::Undo() {
    m_pCtx = m_doc.NewContext();
    CRunContext& ctx = *m_pCtx;
    RunSummary run;
    if (!ReadRunSummary(ctx.fs, m_strFolder, run)) return NotRead(run.top);
    // A run that has not ended may still be changing the tree.
    if (run.state.empty() && run.pid != ::getpid() && !ProcessEnded(run.pid)) {
        const std::string shown =
            FormatMessage(IDS_RUN_GOING_ON, ShownName(run.top), std::to_string(run.pid));
        m_ui.MessageBox(shown);
        m_doc.ShowInView(shown);
        return false;
    }
    if (std::string refused = m_doc.LockTree(run.top, m_pTreeLock); !refused.empty()) {
        m_ui.MessageBox(refused);
        m_doc.ShowInView(refused);
        return false;
    }
    m_strTop = run.top;
    m_pReports =
        std::make_unique<CTempReports>(ctx.fs, ctx.statusReport, ctx.errorReport, ctx.tempDir);
    if (!m_pReports->Create(m_ui)) return false;
    std::vector<UndoOutcome> outcomes;
    if (!UndoFromJournal(ctx.fs, m_strFolder, outcomes, m_doc.m_bUndoForce)) {
        m_pReports->Close();
        m_pReports->Remove();
        m_pReports.reset();
        return NotRead(run.top);
    }
    m_bNothing = std::all_of(outcomes.begin(), outcomes.end(), [](const UndoOutcome& o) {
        return o.result == UndoOutcome::NOT_MADE;
    });
    Report(outcomes);
    return true;
}

bool CUndoDriver::NotRead(const std::string& top) {
    const std::string why = errno == ESTALE  ? "the directory is no longer where it was"
                            : errno == EPERM ? LoadString(IDS_JOURNAL_NOT_OWNED)
                                             : std::strerror(errno);
    const std::string shown =
        FormatMessage(IDS_UNDO_NOT_READ, ShownName(top), why) + "\n" + ShownName(m_strFolder);
    m_ui.MessageBox(shown);
    m_doc.ShowInView(shown);
    return false;
}

void CUndoDriver::Report(const std::vector<UndoOutcome>& outcomes) {
    CRunContext& ctx = *m_pCtx;
    std::string lines[SECTIONS];
    bool present[SECTIONS] = {};
    // A file changed by several steps of the run is named once.
    std::set<std::string> changedShown;
    // The outcomes come last change first; the report lists them in the order of the run.
    for (auto o = outcomes.rbegin(); o != outcomes.rend(); ++o) {
        Section section = RENAMES;
        std::string line;
        const bool link = o->record.kind == JournalRecord::LINK;
        const bool listed =
            LineOf(link ? UndoOutcome{o->record, o->result, LinkPathAfterUndo(*o, outcomes)} : *o,
                   section, line);
        if (listed) present[section] = true;
        if (o->result == UndoOutcome::UNDONE) {
            if (listed) lines[section] += line;
            if (o->displaced) ctx.ErrorLine(o->path, LoadString(IDS_UNDO_DISPLACED));
        } else if (o->result == UndoOutcome::CHANGED) {
            m_bPartly = true;
            if (changedShown.insert(o->path).second)
                ctx.ErrorLine(o->path, LoadString(link ? IDS_LINK_CHANGED_KEPT : IDS_UNDO_CHANGED));
        } else if (o->result == UndoOutcome::DAMAGED) {
            m_bFailed = true;
            ctx.ErrorLine(o->path, FormatMessage(IDS_JOURNAL_RECORD_DAMAGED,
                                                 std::to_string(o->record.number)));
        } else if (o->result == UndoOutcome::FAILED) {
            m_bFailed = true;
            const JournalRecord::Kind kind = o->record.kind;
            ctx.ErrorLine(o->path,
                          LoadString(kind == JournalRecord::MODE      ? IDS_READ_ONLY_NOT_RESTORED
                                     : kind == JournalRecord::WRITTEN ? IDS_SYNC_FAILED
                                                                      : IDS_UNDO_FAILED));
        }
    }
    for (int s = 0; s < SECTIONS; ++s) {
        if (!present[s]) continue;
        ctx.statusReport << HeadingBlock(kHeadings[s]) << lines[s] << kSectionGap;
    }
    m_doc.m_bUndoPartly = m_bPartly;
    if (m_bPartly)
        ctx.statusReport << FormatMessage(IDS_UNDO_PARTLY, ShellWord(m_strTop)) << "\n"
                         << kSectionGap;
}

void CUndoDriver::Finish() {
    // A report that lost text is handled like a final report that cannot be written.
    bool reportsWhole = !m_pReports || m_pReports->Close();
    // A tree kept from the run no longer matches the disk.
    m_doc.Keep(nullptr, nullptr);
    // A journal is spent once every change is undone; one that still holds the originals of
    // files left as the user changed them stays until undone with force, or forgotten.
    if (m_pReports && !m_bFailed && !m_bPartly && !(m_doc.m_dwRunStatus & RS_INTERRUPTED_MASK)) {
        RemoveRun(m_pCtx->fs, m_strFolder);
        m_doc.m_strUndoRun.clear();
    }
    // A run that changed nothing leaves its report in place: there is nothing to tell.
    if (m_bNothing && m_pReports && !(m_doc.m_dwRunStatus & RS_INTERRUPTED_MASK)) {
        m_pReports->Remove();
        return;
    }
    std::string shown;
    int r = -1;
    try {
        r = FinalReport(reportsWhole, shown);
    } catch (const std::exception&) {
    }
    if (r < 0 && m_pReports)
        m_doc.ReportsMoved(*m_pReports, !(m_doc.m_dwRunStatus & RS_INTERRUPTED_MASK), shown);
    if (m_pReports) m_pReports->Remove();
}

int CUndoDriver::FinalReport(bool reportsWhole, std::string& shown) {
    uint32_t status = m_doc.m_dwRunStatus;
    if (status & RS_INTERRUPTED_MASK) {
        shown = FormatMessage(
            IDS_UNDO_INTERRUPTED,
            LoadString((status & RS_LOW_MEMORY) ? IDS_UNDO_LOW_MEMORY : IDS_UNDO_UNDEFINED));
        m_ui.MessageBox(shown);
        return -1;
    }
    if (!m_pReports) return 0;
    int entries = 0, dirs = 0;
    CountTree(m_pCtx->fs, m_strTop, entries, dirs);
    int r = reportsWhole ? m_doc.BuildFinalReport(m_pReports->StatusPath(), m_pReports->ErrorPath(),
                                                  entries, dirs, status)
                         : -1;
    m_doc.m_bReportBuilt = r >= 0;
    m_doc.m_bModified = false;
    m_ui.SetViewText(m_doc.m_strReport, false);
    return r;
}

}  // namespace ts
