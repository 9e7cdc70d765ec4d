#include "driver/TessaryDoc.h"

#include <unistd.h>

#include "base/Strings.h"
#include "driver/FinalReport.h"
#include "driver/RunDriver.h"
#include "driver/TempReports.h"
#include "driver/UndoDriver.h"
#include "platform/Process.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "platform/TreeLock.h"
#include "site/DirXpNode.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"
#include "site/TreeWriter.h"

namespace ts {
CTessaryDoc::CTessaryDoc(CFileSystem& fs, CRunUi& ui, CProfile* profile, RunSettings* master)
    : m_fs(fs), m_ui(ui), m_pProfile(profile), m_pMaster(master) {
    if (master) m_settings = *master;
}

CTessaryDoc::~CTessaryDoc() {
    Keep(nullptr, nullptr);
    if (!m_strReportFile.empty()) m_fs.Remove(m_strReportFile);
}

void CTessaryDoc::CheckDirectory() {
    CRunDriver(*this).Run();
}

void CTessaryDoc::UndoLast() {
    if (m_strUndoRun.empty()) {
        m_ui.MessageBox(LoadString(IDS_CANNOT_UNDO));
        return;
    }
    CUndoDriver(*this).Run();
}

bool CTessaryDoc::ForgetUndoRun() {
    if (m_strUndoRun.empty() || !RemoveRun(m_fs, m_strUndoRun)) return false;
    m_strUndoRun.clear();
    return true;
}

std::string CTessaryDoc::UnfinishedRunMessage(const std::string& dir) {
    int pid = 0;
    if (FindLastRun(dir, &pid)) {
        return pid != ::getpid() && !ProcessEnded(pid)
                   ? FormatMessage(IDS_RUN_GOING_ON, ShownName(dir), std::to_string(pid))
                   : FormatMessage(IDS_UNFINISHED_RUN, ShownName(dir), ShellWord(dir));
    }
    // A run of a directory above or below this one that never ended left this tree half
    // changed as well.
    const std::string real = CanonicalPath(dir);
    if (real.empty()) return std::string();
    // The journals lie outside the tree: they are read on the real file system.
    for (const RunSummary& run : AllRuns(RealFileSystem(), JournalsDirectory())) {
        if (!run.state.empty() || run.changes == 0 || run.top == real || !Nested(run.top, real))
            continue;
        return run.pid != ::getpid() && !ProcessEnded(run.pid)
                   ? FormatMessage(IDS_RUN_GOING_ON, ShownName(run.top), std::to_string(run.pid))
                   : FormatMessage(IDS_UNFINISHED_RUN, ShownName(run.top), ShellWord(run.top));
    }
    return std::string();
}

std::string CTessaryDoc::LockTree(const std::string& dir, std::unique_ptr<CTreeLock>& lock) const {
    TreeHolder holder;
    lock = CTreeLock::Take(TreeLockRegistry(), CanonicalPath(dir), holder);
    // A registry that cannot be used stops nothing: a run that changes files needs a journal in
    // the same folder, and says so when it cannot have one.
    if (lock || holder.pid == 0) return std::string();
    return FormatMessage(IDS_RUN_GOING_ON, ShownName(holder.dir), std::to_string(holder.pid));
}

bool CTessaryDoc::FindLastRun(const std::string& dir, int* pid) {
    m_strUndoRun.clear();
    TreeKey key;
    RunSummary last;
    if (dir.empty() || !TreeKeyOf(m_fs, dir, key) || !LastRun(m_fs, JournalsDirectory(), key, last))
        return false;
    m_strUndoRun = last.folder;
    if (pid) *pid = last.pid;
    return last.state.empty();
}

int CTessaryDoc::BuildFinalReport(const std::string& statusPath, const std::string& errorPath,
                                  int nEntries, int nDirs, uint32_t runStatus,
                                  const RunPasses& passes) {
    return ts::BuildFinalReport(*this, {statusPath, errorPath, nEntries, nDirs, runStatus, passes});
}

const std::string& CTessaryDoc::ReportDirectory() const {
    return m_pMaster ? m_pMaster->Directory : m_settings.Directory;
}

std::unique_ptr<CRunContext> CTessaryDoc::NewContext() const {
    auto ctx = std::make_unique<CRunContext>(m_fs, m_ui);
    if (!m_tempDir.empty()) ctx->tempDir = m_tempDir;
    ctx->findings = m_pFindings;
    return ctx;
}

void CTessaryDoc::Keep(std::unique_ptr<CRunContext> ctx, std::unique_ptr<CDirXpNode> tree) {
    m_pTree.reset();  // before the context it refers to
    m_pWriter.reset();
    m_pCtx = std::move(ctx);
    if (m_pCtx) m_pWriter = std::make_unique<CTreeWriter>(*m_pCtx);
    m_pTree = std::move(tree);
}

void CTessaryDoc::ReportsMoved(CTempReports& reports, bool tell, std::string shown) {
    reports.MoveTo(ReportDirectory());
    if (tell) {
        shown = FormatMessage(IDS_REPORT_MOVED, ShownName(m_settings.Directory));
        m_ui.MessageBox(shown);
    }
    ShowInView(shown);
}

void CTessaryDoc::SetView(std::string text, bool modified) {
    if (!m_strReportFile.empty()) m_fs.Remove(m_strReportFile);
    m_strReportFile.clear();
    m_strReport = std::move(text);
    m_bModified = modified;
    m_ui.SetViewText(m_strReport, modified);
}

void CTessaryDoc::SetViewFile(const std::string& path) {
    SetView(std::string(), true);
    m_strReportFile = path;
}

void CTessaryDoc::ShowInView(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    SetView(std::move(out), m_bModified);
}

}  // namespace ts
