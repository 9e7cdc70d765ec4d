// Undo of the last run: renames reversed (directories before their contents), links rewritten
// to the restored names, converted line ends converted back. It works on the tree the run
// kept, once: the tree is discarded at its end.
#include <new>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "html/Hierarchy.h"
#include "html/HtmlNode.h"
#include "html/LinkRewrite.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/LineEnds.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"

namespace ts {

void CTessaryDoc::UndoLast() {
    // 1.
    if (!m_pTree || (m_dwRunStatus & 0x3FFF) == 0) {
        m_ui.MessageBox(LoadString(IDS_CANNOT_UNDO));
        return;
    }
    // 2.
    m_dwRunStatus |= RS_UNDONE;
    m_dwRunStatus &= ~RS_INTERRUPTED_MASK;
    m_bReportBuilt = false;
    CRunContext& ctx = *m_pCtx;
    CDirXpNode& top = *m_pTree;
    CTreeWriter& writer = *m_pWriter;
    const RunSettings& s = m_settings;
    auto autoReadOnly = static_cast<ReadOnlyChoice>(s.AutoReadOnly);
    bool undone = false;
    std::string statusPath, errorPath;
    std::unique_ptr<CFile> statusFile, errorFile;

    try {
        // 3.
        statusFile = ctx.fs.CreateTemp(ctx.tempDir, std::string(kTempPrefix), statusPath);
        if (!statusFile) {
            statusPath.clear();
            m_ui.MessageBox(LoadString(IDS_CREATE_STATUS_REPORT));
            goto ending;
        }
        ctx.statusReport.Attach(statusFile.get());
        errorFile = ctx.fs.CreateTemp(ctx.tempDir, std::string(kTempPrefix), errorPath);
        if (!errorFile) {
            errorPath.clear();
            m_ui.MessageBox(LoadString(IDS_CREATE_ERROR_REPORT));
            goto ending;
        }
        ctx.errorReport.Attach(errorFile.get());
        CReportStream& out = ctx.statusReport;

        // 4: renames back, then the links to the names as they now are on disk.
        if (m_dwRunStatus & RS_RENAMING) {
            // The home page is looked up by its path as scanned, which PrepareUndo replaces.
            top.SiteMap().Map();
            int n = top.ForEach([](CFileNode& node, bool&) { return PrepareUndo(node) ? 1 : 0; },
                                LoadString(IDS_SETTING_UP_UNDO));
            if (n > 0) {
                undone = true;
                out << HeadingBlock("RENAMED FILES:");
                // A cancel here does not end the undo: the links must follow the names.
                top.ForEach(
                    [&](CFileNode& node, bool&) {
                        return RenameEntry(writer, node, s.LogSubdirs, autoReadOnly) ? 1 : 0;
                    },
                    "Renaming Files");
                out << kSectionGap;
            }
            if (m_dwRunStatus & RS_LINKS) {
                CFileNode* found = top.SiteMap().Lookup(s.HomePage);
                if (!found || !found->IsHtmlNode()) {
                    out << FormatMessage(IDS_HOME_NOT_FOUND, s.HomePage) << "\n";
                    goto ending;
                }
                out << kSectionGap << HeadingBlock("URL LINK RENAMING:");
                int r = WalkHierarchyWith(
                    static_cast<CHtmlNode&>(*found),
                    [&](CHtmlNode& node, int*) {
                        return RewriteLinks(writer, node, autoReadOnly, true);
                    },
                    nullptr, "Updating URL Links");
                if (r < 0) goto ending;
                out << kSectionGap;
            }
        }
        // 5: line ends back to the conventions the scan found.
        if (m_dwRunStatus & RS_LINE_ENDS) {
            undone = true;
            out << HeadingBlock("FILES WITH CHANGED LINE ENDINGS:");
            top.ForEach([&](CFileNode& node, bool&) { return RestoreLineEnd(writer, node); },
                        "Updating ASCII Line Ends");
            out << kSectionGap;
        }
    } catch (const std::bad_alloc&) {
        m_dwRunStatus |= RS_LOW_MEMORY;
    } catch (const std::exception&) {
        m_dwRunStatus |= RS_EXCEPTION;
    }

ending:
    // 6.
    int nEntries = top.m_nEntries, nDirs = top.m_nDirs;
    ctx.statusReport.Detach();
    ctx.errorReport.Detach();
    // A report that lost text is handled like a final report that cannot be written.
    bool reportsWhole = !ctx.statusReport.Failed() && !ctx.errorReport.Failed();
    statusFile.reset();
    errorFile.reset();
    m_pTree.reset();
    m_pWriter.reset();
    m_pCtx.reset();

    int r = 0;
    std::string shown;
    try {
        if (undone && !(m_dwRunStatus & RS_INTERRUPTED_MASK)) {
            r = reportsWhole
                    ? BuildFinalReport(statusPath, errorPath, nEntries, nDirs, m_dwRunStatus)
                    : -1;
            m_bReportBuilt = r >= 0;
            m_bModified = false;
            m_ui.SetViewText(m_strReport, false);
        } else if (m_dwRunStatus & RS_INTERRUPTED_MASK) {
            shown = FormatMessage(IDS_UNDO_INTERRUPTED,
                                  LoadString((m_dwRunStatus & RS_LOW_MEMORY) ? IDS_UNDO_LOW_MEMORY
                                                                             : IDS_UNDO_UNDEFINED));
            m_ui.MessageBox(shown);
            r = -1;
        }
    } catch (const std::exception&) {
        r = -1;
    }
    if (r < 0) {
        MoveReportsToDirectory(statusPath, errorPath);
        if (!(m_dwRunStatus & RS_INTERRUPTED_MASK)) {
            shown = FormatMessage(IDS_REPORT_MOVED, s.Directory);
            m_ui.MessageBox(shown);
        }
        ShowInView(shown);
    }
    if (!statusPath.empty()) m_fs.Remove(statusPath);
    if (!errorPath.empty()) m_fs.Remove(errorPath);
}

}  // namespace ts
