// The run driver: one run as a fixed sequence of passes, with the section headings of the
// status report between them and the outcome recorded in RunStatus.
#include "driver/TessaryDoc.h"

#include <new>

#include "base/Profile.h"
#include "base/Strings.h"
#include "html/Hierarchy.h"
#include "html/HtmlNode.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/LineEndVerify.h"
#include "site/VerifyLists.h"

namespace ts {

CTessaryDoc::CTessaryDoc(CFileSystem& fs, CRunUi& ui, CProfile* profile, RunSettings* master)
    : m_fs(fs), m_ui(ui), m_pProfile(profile), m_pMaster(master) {
    if (master) m_settings = *master;
}

CTessaryDoc::~CTessaryDoc() {
    m_pTree.reset();  // before the context it refers to
    m_pCtx.reset();
}

bool CTessaryDoc::CanUndo() const {
    return m_pTree && (m_settings.Rename || m_settings.LineEnd != 0);
}

std::unique_ptr<CRunContext> CTessaryDoc::NewContext() {
    auto ctx = std::make_unique<CRunContext>(m_fs, m_ui);
    if (m_now) ctx->now = m_now;
    if (!m_tempDir.empty()) ctx->tempDir = m_tempDir;
    return ctx;
}

void CTessaryDoc::SetView(std::string text, bool modified) {
    m_strReport = std::move(text);
    m_bModified = modified;
    m_ui.SetViewText(m_strReport, modified);
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

void CTessaryDoc::MoveReportsToDirectory(const std::string& statusPath,
                                         const std::string& errorPath) {
    const std::string& dir = m_pMaster ? m_pMaster->Directory : m_settings.Directory;
    if (!statusPath.empty()) MoveFileNoReplace(m_fs, statusPath, JoinPath(dir, "STATUS.TSY"));
    if (!errorPath.empty()) MoveFileNoReplace(m_fs, errorPath, JoinPath(dir, "ERROR.TSY"));
}

namespace {

// A temporary report: created exclusively in the temporary directory, removed at the end.
struct TempReport {
    std::string path;
    std::unique_ptr<CFile> file;

    bool Create(CRunContext& ctx, CReportStream& stream) {
        file = ctx.fs.CreateTemp(ctx.tempDir, std::string(kTempPrefix), path);
        if (!file) {
            path.clear();
            return false;
        }
        stream.Attach(file.get());
        return true;
    }
    void Close(CReportStream& stream) {
        stream.Detach();
        file.reset();
    }
    void Remove(CFileSystem& fs) {
        file.reset();
        if (!path.empty()) fs.Remove(path);
        path.clear();
    }
};

std::string CutMessage(const char* what) {
    return Utf8Cut(what ? what : "", 255);
}

}  // namespace

void CTessaryDoc::CheckDirectory() {
    std::string interruption;
    bool reportDue = false;
    TempReport status, error;
    std::unique_ptr<CRunContext> runCtx;
    CRunContext* ctx = nullptr;

    try {
        // 1-4: the wizard edits the document's settings; only Finish goes on.
        m_ui.ShowMainWindow(false);
        RunSettings edited = m_settings;
        if (!m_ui.RunWizard(edited)) {
            m_ui.ShowMainWindow(true);
            return;
        }
        edited.DeriveUpdateLinks();
        m_settings = edited;
        m_bReportBuilt = false;
        m_bFileErrors = false;
        if (m_pMaster) *m_pMaster = m_settings;
        const RunSettings& s = m_settings;
        // "To all" answers hold for the rest of this run only, not for the next wizard.
        bool autoFileName = s.AutoFileName;
        int autoReadOnly = s.AutoReadOnly;

        // 5: the temporary reports.
        runCtx = NewContext();
        if (!status.Create(*runCtx, runCtx->statusReport)) {
            m_ui.MessageBox(LoadString(IDS_CREATE_STATUS_REPORT));
            goto ending;
        }
        if (!error.Create(*runCtx, runCtx->errorReport)) {
            m_ui.MessageBox(LoadString(IDS_CREATE_ERROR_REPORT));
            goto ending;
        }

        // 6: a fresh outcome and tree.
        m_dwRunStatus = 0;
        m_pTree.reset();
        m_pCtx = std::move(runCtx);
        ctx = m_pCtx.get();
        m_pTree = std::make_unique<CDirXpNode>(ctx, s.Directory, nullptr);
        reportDue = true;
        {
            CReportStream& out = ctx->statusReport;
            CDirXpNode& top = *m_pTree;

            // 7: scan.
            if (top.Scan(s.UseSubdirs, s.LogSubdirs && s.Rename, s.ReportSpecial != 0) < 0)
                goto ending;

            // 8: file names.
            if (s.Target != 0 || s.RenameHtml != 0) {
                int n = top.ForEach(
                    [&](CFileNode& node, bool& cancel) {
                        return node.CheckName(s.Target, &autoFileName, s.RenameHtml, &cancel) ? 1
                                                                                              : 0;
                    },
                    "Validating Filenames");
                if (n < 0) goto ending;
                if (n > 0 && s.Rename && !VerifyFilenames(*ctx, m_ui, top, s.Target)) goto ending;
                out << HeadingBlock(s.Rename ? "RENAMED FILES:" : "SUGGESTED NEW NAMES FOR FILES:");
                int r = 0;
                if (n == 0) {
                    out << "\n"
                        << "All filenames were valid!"
                        << "\n";
                } else if (s.Rename) {
                    m_dwRunStatus |= RS_RENAMING;
                    r = top.ForEach(
                        [&](CFileNode& node, bool&) {
                            return node.RenameEntry(s.LogSubdirs, &autoReadOnly) ? 1 : 0;
                        },
                        "Renaming Files");
                } else {
                    r = top.ForEach([](CFileNode& node, bool&) { return node.ReportNewName(); },
                                    "Reporting Suggested Filenames");
                }
                out << kSectionGap;
                if (r < 0) goto ending;
            }

            // 9: line ends.
            if (s.LineEnd != 0) {
                int n = top.ForEach(
                    [&](CFileNode& node, bool&) { return node.MarkLineEnd(s.LineEnd) ? 1 : 0; },
                    "Searching for ASCII Files");
                if (n < 0) goto ending;
                if (n > 0) {
                    int v = VerifyLineEnds(*ctx, m_ui, top);
                    if (v == VERIFY_ASCII_CANCEL) goto ending;
                    n = v;
                }
                out << HeadingBlock("FILES WITH CHANGED LINE ENDINGS:");
                if (n > 0) {
                    m_dwRunStatus |= RS_LINE_ENDS;
                    n = top.ForEach(
                        [&](CFileNode& node, bool&) {
                            return node.ConvertIfMarked(s.LineEnd, &autoReadOnly);
                        },
                        "Updating ASCII Line Ends");
                    if (n < 0) goto ending;
                }
                if (n == 0)
                    out << "\n"
                        << "All files had compatible ASCII line endings!"
                        << "\n";
                out << kSectionGap;
            }

            // 10-12: the HTML passes, from the home page.
            if (!s.FilesOnly) {
                m_dwRunStatus |= RS_HTML_REACHED;
                CFileNode* found = top.SiteMap().Lookup(s.HomePage);
                if (!found || !found->IsHtmlNode()) {
                    out << FormatMessage(IDS_HOME_NOT_FOUND, s.HomePage) << "\n";
                    goto ending;
                }
                CHtmlNode& home = static_cast<CHtmlNode&>(*found);
                // The link passes use the mark for "used in the site": no mark of the
                // line-end passes may survive into them, whatever the verify dialog did.
                CTreeIterator marks(&top);
                while (CFileNode* node = marks.Next())
                    node->m_bMarked = false;

                out << HeadingBlock("HTML SYNTAX ERRORS:");
                int n = WalkHierarchy(
                    home, [](CHtmlNode& node) { return node.ParseLinks(); }, "Checking URL Links");
                if (n < 0) goto ending;
                if (n > 0) m_dwRunStatus |= RS_SYNTAX_ERRORS;

                out << kSectionGap;
                if (s.UpdateLinks) {
                    out << HeadingBlock("URL LINK RENAMING:");
                    m_dwRunStatus |= RS_LINKS;
                    n = WalkHierarchyWith(
                        home, [](CHtmlNode& node, int* ro) { return node.RewriteLinks(ro); },
                        &autoReadOnly, "Updating URL Links");
                } else {
                    out << HeadingBlock("SUGGESTED URL LINK RENAMING:");
                    n = WalkHierarchy(
                        home, [](CHtmlNode& node) { return node.ReportLinkChanges(); },
                        "Validating URL Links");
                }
                if (n < 0) goto ending;
                if (n == 0)
                    out << "No local URL links needed to be renamed."
                        << "\n";
                out << kSectionGap;

                if (s.ReportUnresolvedRefs) {
                    out << HeadingBlock("UNRESOLVED LOCAL LINKS:");
                    n = WalkHierarchy(
                        home, [](CHtmlNode& node) { return node.ReportUnresolvedLinks(); },
                        "Reporting Unresolved Links");
                    if (n < 0) goto ending;
                    if (n == 0)
                        out << "All local links are resolved!"
                            << "\n";
                    if (n > 0) m_dwRunStatus |= RS_UNRESOLVED;
                    out << kSectionGap;
                }

                if (s.ReportUnusedFiles) {
                    out << HeadingBlock("THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:");
                    n = top.ForEach(
                        [](CFileNode& node, bool&) {
                            if (node.Name() == kRenameLogName) return 0;
                            return node.ReportIfUnused() ? 1 : 0;
                        },
                        "Reporting Unused Files");
                    if (n < 0) goto ending;
                    if (n == 0)
                        out << "All files are used in the site hierarchy!"
                            << "\n";
                    if (n > 0) m_dwRunStatus |= RS_UNUSED;
                    out << kSectionGap;
                }

                if (s.ReportExternalRefs) {
                    std::string pagePath = JoinPath(top.m_strPath, std::string(kExternalPageName));
                    std::unique_ptr<CFile> page = ctx->fs.OpenWrite(pagePath);
                    CReportStream& aux = ctx->auxStream;
                    if (page)
                        aux.Attach(page.get());
                    else
                        ctx->ErrorLine(pagePath, LoadString(IDS_OPEN_FAILED));
                    std::string title = FormatMessage(IDS_EXTERNAL_TITLE, s.HomePage);
                    aux << "<html>\n<head>\n<title>" << HtmlEscape(title) << "</title>\n"
                        << "</head>\n<body>\n<h2>" << HtmlEscape(title) << "</h2>\n<body>\n";
                    out << HeadingBlock("EXTERNAL URL REFERENCES:");
                    n = WalkHierarchy(
                        home, [](CHtmlNode& node) { return node.ReportExternalLinks(); },
                        "Reporting External URL References");
                    ClearExternalSeen(*ctx);
                    if (n < 0) {
                        aux.Detach();
                        if (page && aux.Failed())
                            ctx->ErrorLine(pagePath, LoadString(IDS_WRITE_FAILED));
                        goto ending;
                    }
                    if (n == 0)
                        out << "No external URL link references!"
                            << "\n";
                    // The page is announced only when it exists.
                    if (n > 0 && page) {
                        out << "\n\n\n"
                            << LoadString(IDS_EXTERNAL_PAGE_1) << "\n"
                            << LoadString(IDS_EXTERNAL_PAGE_2) << "\n"
                            << FormatMessage(IDS_EXTERNAL_PAGE_3, pagePath) << "\n";
                    }
                    out << kSectionGap;
                    aux << "</body>\n</html>\n";
                    aux.Detach();
                    if (page && aux.Failed())
                        ctx->ErrorLine(pagePath, LoadString(IDS_WRITE_FAILED));
                }
            }
        }
        // 13.
        m_dwRunStatus |= RS_COMPLETED;
    } catch (const std::bad_alloc&) {
        m_dwRunStatus |= RS_LOW_MEMORY;
        interruption = LoadString(IDS_LOW_MEMORY);
    } catch (const std::exception& e) {
        m_dwRunStatus |= RS_EXCEPTION;
        interruption = CutMessage(e.what());
    }

ending:
    try {
        // 14.1, 14.4: the logs, then the temporary reports are closed first, so nothing
        // written so far is lost whatever happens to the tree, and a log that cannot be
        // finished is still reported.
        int nEntries = 0, nDirs = 0;
        if (m_pTree) m_pTree->CloseAllLogs();
        // A report that lost text would pass for the whole story: it is handled like a final
        // report that cannot be written, which tells the user that it is partial.
        bool reportsWhole = true;
        if (CRunContext* streams = ctx ? ctx : runCtx.get()) {
            status.Close(streams->statusReport);
            error.Close(streams->errorReport);
            reportsWhole = !streams->statusReport.Failed() && !streams->errorReport.Failed();
        }
        if (m_pTree) {
            nEntries = m_pTree->m_nEntries;
            nDirs = m_pTree->m_nDirs;
            // 14.2: the tree is kept only when there is something to undo.
            if ((m_dwRunStatus & RS_MODIFIED_MASK) == 0) {
                m_pTree.reset();
                m_pCtx.reset();
                ctx = nullptr;
            }
        }
        // 14.3: explain an interruption.
        if (m_dwRunStatus & RS_INTERRUPTED_MASK) {
            interruption += "\n\n";
            if (m_dwRunStatus & RS_MODIFIED_MASK)
                interruption += LoadString(IDS_INTERRUPTED_MODIFYING);
            else if (reportDue)
                interruption += LoadString(IDS_PARTIAL_REPORT);
            else
                interruption += LoadString(IDS_NO_REPORT);
            m_ui.MessageBox(interruption);
        }
        // 14.5: the final report.
        if (reportDue) {
            if (!reportsWhole ||
                BuildFinalReport(status.path, error.path, nEntries, nDirs, m_dwRunStatus) < 0)
                throw CRunError("final report");
            m_bReportBuilt = true;
        } else if (m_dwRunStatus & RS_INTERRUPTED_MASK) {
            ShowInView(interruption);
        }
    } catch (const std::exception&) {
        if (reportDue) {
            // Lines still held by a stream whose last write was cut short by the exception
            // get one more try, so that the reports left for the user hold all they can.
            if (CRunContext* streams = ctx ? ctx : runCtx.get()) {
                try {
                    status.Close(streams->statusReport);
                    error.Close(streams->errorReport);
                } catch (const std::exception&) {
                }
            }
            MoveReportsToDirectory(status.path, error.path);
            std::string text = FormatMessage(IDS_REPORT_MOVED, m_settings.Directory);
            m_ui.MessageBox(text);
            ShowInView(text);
        }
    }
    // 14.6-14.7.
    status.Remove(m_fs);
    error.Remove(m_fs);
    m_ui.ShowMainWindow(true);
}

}  // namespace ts
