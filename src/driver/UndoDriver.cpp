#include "driver/UndoDriver.h"

#include <new>

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "driver/TempReports.h"
#include "driver/TessaryDoc.h"
#include "html/Hierarchy.h"
#include "html/HtmlNode.h"
#include "html/LinkRewrite.h"
#include "site/DirXpNode.h"
#include "site/LineEnds.h"
#include "site/LinkRepoint.h"
#include "site/TreeWriter.h"

namespace ts {

CUndoDriver::CUndoDriver(CTessaryDoc& doc)
    : m_doc(doc),
      m_ui(doc.Ui()),
      m_ctx(*doc.KeptContext()),
      m_top(*doc.m_pTree),
      m_writer(*doc.Writer()) {}

CUndoDriver::~CUndoDriver() = default;

void CUndoDriver::Run() {
    m_doc.m_dwRunStatus |= RS_UNDONE;
    m_doc.m_dwRunStatus &= ~RS_INTERRUPTED_MASK;
    m_doc.m_bReportBuilt = false;
    m_autoReadOnly = static_cast<ReadOnlyChoice>(m_doc.m_settings.AutoReadOnly);
    try {
        RunPasses();
    } catch (const std::bad_alloc&) {
        m_doc.m_dwRunStatus |= RS_LOW_MEMORY;
    } catch (const std::exception&) {
        m_doc.m_dwRunStatus |= RS_EXCEPTION;
    }
    Finish();
}

void CUndoDriver::RunPasses() {
    m_pReports = std::make_unique<CTempReports>(m_ctx.fs, m_ctx.statusReport, m_ctx.errorReport,
                                                m_ctx.tempDir);
    if (!m_pReports->Create(m_ui)) return;
    if ((m_doc.m_dwRunStatus & RS_RENAMING) && !UndoRenames()) return;
    if (m_doc.m_dwRunStatus & RS_LINE_ENDS) UndoLineEnds();
    // Last, since the passes before may write what the run made writable.
    CTreeIterator it(&m_top);
    while (CFileNode* node = it.Next())
        m_writer.RestoreReadOnly(*node);
}

// Renames back, then the links to the names as they now are on disk. False when the links
// could not be followed to the end: the undo then stops there.
bool CUndoDriver::UndoRenames() {
    const RunSettings& s = m_doc.m_settings;
    CReportStream& out = m_ctx.statusReport;
    // The home page is looked up by its path as scanned, which PrepareUndo replaces.
    m_top.SiteMap().Map();
    int n = m_top.ForEach([](CFileNode& node, bool&) { return PrepareUndo(node) ? 1 : 0; },
                          LoadString(IDS_SETTING_UP_UNDO));
    if (n > 0) {
        m_bUndone = true;
        out << HeadingBlock("RENAMED FILES:");
        // A cancel here does not end the undo: the links must follow the names.
        m_top.ForEach(
            [&](CFileNode& node, bool&) {
                return RenameEntry(m_writer, node, s.LogSubdirs, m_autoReadOnly) ? 1 : 0;
            },
            "Renaming Files");
        out << kSectionGap;
    }
    // Once the names are back, the links get their old texts byte for byte.
    std::vector<CRepointedLink> back;
    RepointBack(m_writer, m_top.m_vRepointedLinks, back);
    ReportRepointedLinks(out, back, true);
    if (!back.empty()) m_bUndone = true;
    if (!(m_doc.m_dwRunStatus & RS_LINKS)) return true;
    CFileNode* found = m_top.SiteMap().Lookup(s.HomePage);
    // The home page is a page: a style sheet is walked only when a page links to it.
    if (!found || !found->IsHtmlNode() || static_cast<CHtmlNode*>(found)->m_bStyleSheet) {
        out << FormatMessage(IDS_HOME_NOT_FOUND, s.HomePage) << "\n";
        return false;
    }
    out << kSectionGap << HeadingBlock("URL LINK RENAMING:");
    int r = WalkHierarchyWith(
        static_cast<CHtmlNode&>(*found),
        [this](CHtmlNode& node, int*) {
            return RewriteLinks(m_writer, node, m_autoReadOnly, true);
        },
        nullptr, "Updating URL Links");
    if (r < 0) return false;
    out << kSectionGap;
    return true;
}

// Line ends back to the conventions the scan found.
void CUndoDriver::UndoLineEnds() {
    CReportStream& out = m_ctx.statusReport;
    m_bUndone = true;
    out << HeadingBlock("FILES WITH CHANGED LINE ENDINGS:");
    m_top.ForEach([this](CFileNode& node, bool&) { return RestoreLineEnd(m_writer, node); },
                  "Updating ASCII Line Ends");
    out << kSectionGap;
}

void CUndoDriver::Finish() {
    int nEntries = m_top.m_nEntries, nDirs = m_top.m_nDirs;
    // A report that lost text is handled like a final report that cannot be written.
    bool reportsWhole = !m_pReports || m_pReports->Close();
    m_doc.Keep(nullptr, nullptr);

    std::string shown;
    int r = -1;
    try {
        r = FinalReport(reportsWhole, nEntries, nDirs, shown);
    } catch (const std::exception&) {
    }
    if (r < 0 && m_pReports)
        m_doc.ReportsMoved(*m_pReports, !(m_doc.m_dwRunStatus & RS_INTERRUPTED_MASK), shown);
    if (m_pReports) m_pReports->Remove();
}

int CUndoDriver::FinalReport(bool reportsWhole, int nEntries, int nDirs, std::string& shown) {
    uint32_t status = m_doc.m_dwRunStatus;
    if (m_bUndone && !(status & RS_INTERRUPTED_MASK)) {
        int r = reportsWhole
                    ? m_doc.BuildFinalReport(m_pReports->StatusPath(), m_pReports->ErrorPath(),
                                             nEntries, nDirs, status)
                    : -1;
        m_doc.m_bReportBuilt = r >= 0;
        m_doc.m_bModified = false;
        m_ui.SetViewText(m_doc.m_strReport, false);
        return r;
    }
    if (status & RS_INTERRUPTED_MASK) {
        shown = FormatMessage(
            IDS_UNDO_INTERRUPTED,
            LoadString((status & RS_LOW_MEMORY) ? IDS_UNDO_LOW_MEMORY : IDS_UNDO_UNDEFINED));
        m_ui.MessageBox(shown);
        return -1;
    }
    return 0;
}

}  // namespace ts
