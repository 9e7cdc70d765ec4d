#include "driver/RunDriver.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "base/Findings.h"
#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "driver/ExternalPage.h"
#include "driver/TempReports.h"
#include "driver/TessaryDoc.h"
#include "driver/WizardRules.h"
#include "html/ExternalCheck.h"
#include "html/Fragments.h"
#include "html/Hierarchy.h"
#include "html/HtmlNode.h"
#include "html/LinkReports.h"
#include "html/LinkRewrite.h"
#include "html/MovedLinks.h"
#include "html/PagesAhead.h"
#include "html/PassJobs.h"
#include "html/TagScanner.h"
#include "platform/Process.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "platform/TreeLock.h"
#include "site/DirXpNode.h"
#include "site/LineEndVerify.h"
#include "site/LineEnds.h"
#include "site/LinkRepoint.h"
#include "site/NameRules.h"
#include "site/OwnFiles.h"
#include "site/RedirectFiles.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"
#include "site/TreeWriter.h"
#include "site/UnusedFiles.h"
#include "site/VerifyLists.h"

namespace ts {
namespace {

std::string CutMessage(const char* what) {
    return Utf8Cut(what ? what : "", 255);
}

}  // namespace

CRunDriver::CRunDriver(CTessaryDoc& doc) : m_doc(doc), m_ui(doc.Ui()) {}

CRunDriver::~CRunDriver() = default;

void CRunDriver::Run() {
    m_ui.ShowMainWindow(false);
    if (RunGuarded()) Finish();
    m_ui.ShowMainWindow(true);
}

bool CRunDriver::RunGuarded() {
    try {
        if (!EditSettings()) return false;
        if (Start()) RunPasses();
    } catch (const std::bad_alloc&) {
        m_doc.m_dwRunStatus |= RS_LOW_MEMORY;
        m_strInterruption = LoadString(IDS_LOW_MEMORY);
    } catch (const std::exception& e) {
        m_doc.m_dwRunStatus |= RS_EXCEPTION;
        m_strInterruption = CutMessage(e.what());
    }
    return true;
}

bool CRunDriver::EditSettings() {
    RunSettings edited = m_doc.m_settings;
    if (!m_ui.RunWizard(edited)) return false;
    edited.DeriveUpdateLinks();
    m_doc.m_settings = edited;
    m_doc.m_bReportBuilt = false;
    m_doc.m_bFileErrors = false;
    if (m_doc.Master()) *m_doc.Master() = edited;
    m_settings = edited;
    m_bAutoFileName = edited.AutoFileName;
    m_autoReadOnly = static_cast<ReadOnlyChoice>(edited.AutoReadOnly);
    return true;
}

bool CRunDriver::Start() {
    m_pNewCtx = m_doc.NewContext();
    CRunContext& ctx = *m_pNewCtx;
    ctx.links = LinkOptionsOf(m_settings);
    // The file the redirect rules go into keeps its name, or the server would never read it.
    std::vector<std::string> excluded = m_settings.Excluded;
    if (m_settings.Rename && !RulesFileName(m_settings.Redirects).empty())
        excluded.push_back("/" + RulesFileName(m_settings.Redirects));
    // A page put elsewhere in the site is the program's own too: nothing renames or reports it.
    const std::string page = ExternalPagePath();
    if (m_settings.ReportExternalRefs && page.starts_with(m_settings.Directory + "/"))
        excluded.push_back(page.substr(m_settings.Directory.size()));
    ctx.exclusions = CExclusions(m_settings.Directory, std::move(excluded));
    if (!NoUnfinishedRun()) return false;
    m_pReports =
        std::make_unique<CTempReports>(ctx.fs, ctx.statusReport, ctx.errorReport, ctx.tempDir);
    // Until both reports exist the last run's tree stays, and with it its undo.
    if (!m_pReports->Create(m_ui)) return false;
    // The journal comes last, so that a run that cannot start leaves none.
    if (!StartJournal(ctx)) {
        m_pReports->Close();
        m_pReports->Remove();
        m_pReports.reset();
        return false;
    }
    // Neither the reports nor the journals are part of the site, wherever they are; a state
    // or cache folder inside the tree is left out whole, so that no rename moves a journal
    // away from where undo looks for it.
    ctx.ownPaths = {DirName(m_pReports->StatusPath()), JournalsDirectory(),
                    UserDirectory("XDG_STATE_HOME", ".local/state"),
                    UserDirectory("XDG_CACHE_HOME", ".cache")};
    for (size_t i = 2; i < ctx.ownPaths.size(); ++i) {
        FileStat st;
        const std::string& own = ctx.ownPaths[i];
        if (own.starts_with(m_settings.Directory + "/") && ctx.fs.Stat(own, st))
            ctx.NoteLine(own, LoadString(IDS_OWN_DIR_LEFT_OUT));
    }
    m_doc.m_dwRunStatus = 0;
    m_doc.m_passes = ts::RunPasses{PassesDue(m_settings)};
    m_pCtx = m_pNewCtx.get();
    m_doc.Keep(std::move(m_pNewCtx), nullptr);
    m_doc.m_pTree = MakeRunTree(*m_pCtx, m_settings.Directory, MakeWebFileNode);
    if (m_doc.m_pJournal) Writer().UseJournal(m_doc.m_pJournal.get(), m_doc.m_pTree.get());
    m_bReportDue = true;
    return true;
}

// A run over a directory that an earlier run left half changed would bury that run's way
// back: the user undoes it first.
bool CRunDriver::NoUnfinishedRun() {
    m_strInterruption = m_doc.LockTree(m_settings.Directory, m_pTreeLock);
    if (m_strInterruption.empty())
        m_strInterruption = m_doc.UnfinishedRunMessage(m_settings.Directory);
    if (m_strInterruption.empty()) return true;
    m_ui.MessageBox(m_strInterruption);
    m_doc.ShowInView(m_strInterruption);
    return false;
}

bool CRunDriver::StartJournal(CRunContext& ctx) {
    const std::string& dir = m_settings.Directory;
    if (!m_settings.Modifies()) return true;
    TreeKey key;
    // Without the directory's identity no journal can find it again: nothing may change.
    if (TreeKeyOf(ctx.fs, dir, key)) {
        m_doc.m_pJournal = CRunJournal::Create(ctx.fs, JournalsDirectory(), key.path, key.id);
        if (m_doc.m_pJournal) return true;
    }
    m_strInterruption =
        FormatMessage(IDS_JOURNAL_CREATE_FAILED, JournalsDirectory(), std::strerror(errno));
    m_ui.MessageBox(m_strInterruption);
    m_doc.ShowInView(m_strInterruption);
    return false;
}

void CRunDriver::EndJournal() {
    std::unique_ptr<CRunJournal> journal = std::move(m_doc.m_pJournal);
    if (!journal) return;
    const uint32_t status = m_doc.m_dwRunStatus;
    const char* state = (status & RS_INTERRUPTED_MASK) ? "failed"
                        : (status & RS_COMPLETED)      ? "complete"
                                                       : "cancelled";
    CTreeWriter& writer = Writer();
    const bool changed = writer.Journaled();
    // Known before anything here may fail, so that undo stays possible whatever happens.
    m_doc.m_strUndoRun = changed ? journal->Folder() : std::string();
    // Without its end the run passes for one that crashed, and the next start offers its undo.
    bool ended = false;
    try {
        ended = writer.EndJournal(state);
    } catch (const std::exception&) {
    }
    writer.UseJournal(nullptr, nullptr);
    if (!ended) m_pCtx->ErrorLine(journal->Folder(), LoadString(IDS_JOURNAL_FAILED));
    CFileSystem& fs = m_pCtx->fs;
    if (!changed) {
        RemoveRun(fs, journal->Folder());
        return;
    }
    TreeKey key;
    if (TreeKeyOf(fs, m_settings.Directory, key))
        PruneRuns(fs, JournalsDirectory(), key, m_settings.KeepRuns);
}

template <class Body>
CRunDriver::Next CRunDriver::Pass(RunPassBits pass, Body&& body) {
    if (!(m_doc.m_passes.due & pass)) return Next::Continue;
    m_doc.m_passes.begun |= pass;
    const Next next = body();
    if (next == Next::Continue) m_doc.m_passes.done |= pass;
    return next;
}

void CRunDriver::RunPasses() {
    const std::pair<RunPassBits, Next (CRunDriver::*)()> passes[] = {
        {RP_SCAN, &CRunDriver::Scan},
        {RP_NAMES, &CRunDriver::FileNames},
        {RP_LINE_ENDS, &CRunDriver::LineEnds},
    };
    for (const auto& [bit, pass] : passes)
        if (Pass(bit, [&] { return (this->*pass)(); }) == Next::Stop) return;
    if (HtmlPasses() == Next::Stop) return;
    m_doc.m_dwRunStatus |= RS_COMPLETED;
}

CReportStream& CRunDriver::Out() {
    return m_pCtx->statusReport;
}

bool CRunDriver::ReportFailures(int id, int failed) {
    if (failed <= 0) return false;
    Out() << FormatMessage(id, std::to_string(failed)) << "\n";
    m_doc.m_dwRunStatus |= RS_WORK_FAILED;
    return true;
}

CDirXpNode& CRunDriver::Top() {
    return *m_doc.m_pTree;
}

CTreeWriter& CRunDriver::Writer() {
    return *m_doc.Writer();
}

CRunDriver::Next CRunDriver::Scan() {
    const RunSettings& s = m_settings;
    CTreeWriter* logWriter = s.LogSubdirs && s.Rename ? &Writer() : nullptr;
    int n = Top().Scan(s.UseSubdirs, logWriter, s.ReportSpecial != 0);
    if (n < 0) return Next::Stop;
    RemoveLeftovers(Writer(), Top());
    return Next::Continue;
}

CRunDriver::Next CRunDriver::FileNames() {
    const RunSettings& s = m_settings;
    if (s.Target == 0 && s.RenameHtml == 0) return Next::Continue;
    CDirXpNode& top = Top();
    int n = top.ForEach(
        [&](CFileNode& node, bool& cancel) {
            if (node.m_bExcluded) return 0;
            return node.CheckName(s.Target, &m_bAutoFileName, s.RenameHtml, &cancel) ? 1 : 0;
        },
        "Validating Filenames");
    if (n < 0) return Next::Stop;
    if (n > 0 && s.Rename && !VerifyFilenames(*m_pCtx, m_ui, top, s.Target)) return Next::Stop;
    Out() << HeadingBlock(s.Rename ? "RENAMED FILES:" : "SUGGESTED NEW NAMES FOR FILES:");
    int r = 0;
    if (n == 0) {
        Out() << "\n"
              << "All filenames were valid!"
              << "\n";
    } else if (s.Rename) {
        m_doc.m_dwRunStatus |= RS_RENAMING;
        Writer().JournalRenames(top);
        const int before = Writer().Failures();
        r = top.ForEach(
            [&](CFileNode& node, bool&) {
                if (!RenameEntry(Writer(), node, s.LogSubdirs, m_autoReadOnly)) return 0;
                ++m_nRenamed;
                NameFinding(node, "renamed");
                return 1;
            },
            "Renaming Files");
        ReportFailures(IDS_RENAMES_FAILED, Writer().Failures() - before);
    } else {
        r = top.ForEach(
            [this](CFileNode& node, bool&) {
                if (!ReportNewName(node)) return 0;
                NameFinding(node, "name not valid for the target; suggested new name");
                return 1;
            },
            "Reporting Suggested Filenames");
        if (r > 0) m_doc.m_dwRunStatus |= RS_NAMES_SUGGESTED;
    }
    Out() << kSectionGap;
    // Even when the renaming was cancelled, the links and the redirects follow the entries
    // already renamed.
    if (m_nRenamed > 0) {
        SymbolicLinks();
        Redirects();
    }
    return r < 0 ? Next::Stop : Next::Continue;
}

void CRunDriver::NameFinding(const CFileNode& node, const char* message) {
    if (!m_pCtx->findings) return;
    Finding f;
    f.kind = FindingKind::NewName;
    f.file = node.OrigPath();
    f.newName = node.m_strNewName;
    f.message = message;
    m_pCtx->findings->Add(std::move(f));
}

// Links inside the site that name a renamed entry are given its new name; the section lists
// them and is left out when there are none.
void CRunDriver::SymbolicLinks() {
    std::vector<CRepointedLink>& done = Top().m_vRepointedLinks;
    RepointLinks(Writer(), Top(), done);
    ReportRepointedLinks(Out(), done, false);
}

namespace {

std::string RuleLine(const RedirectRule& r) {
    return ShownName(r.from) + (r.directory ? "/" : "") + "\n   -------->  " + ShownName(r.to) +
           (r.directory ? "/" : "") + "\n";
}

// Names a run's block of rules, so that a later run's block is told from it.
std::string Stamp() {
    char buf[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buf;
}

}  // namespace

// Only after renames that were made: suggested names change no URL.
void CRunDriver::Redirects() {
    const RunSettings& s = m_settings;
    if (s.Redirects == REDIRECTS_NONE || !s.Rename || m_nRenamed == 0) return;
    const bool caseSensitive =
        s.CaseSensitiveServer || s.Target == TFS_UNIX || s.Target == TFS_MACINTOSH;
    const std::vector<RedirectRule> rules =
        RedirectRulesOf(Top(), SitePrefixOf(s.SiteUrls), caseSensitive);
    Out() << HeadingBlock("REDIRECTS WRITTEN:");
    std::string lines;
    if (s.Redirects == REDIRECTS_STUBS) {
        lines = WriteStubs(rules);
    } else if (!rules.empty()) {
        for (const RedirectRule& r : rules)
            lines += RuleLine(r);
        const std::string name = RulesFileName(s.Redirects);
        const std::string block = RulesBlock(s.Redirects, rules, SitePrefixOf(s.SiteUrls), Stamp());
        if (!Writer().AddToFile(Top(), name, block, "redirects", lines)) {
            ReportFailures(IDS_REDIRECTS_FAILED, 1);
            lines.clear();
        }
    }
    Out() << (lines.empty() ? std::string("No redirects were written.\n") : "\n" + lines)
          << kSectionGap;
}

// A page is left only where its directory still has the old path and the target can hold the
// old name: otherwise the reason is given.
std::string CRunDriver::WriteStubs(const std::vector<RedirectRule>& rules) {
    std::string lines;
    int failed = 0;
    for (const RedirectRule& r : rules) {
        const CFileNode& node = *r.node;
        // Only a page can send a browser on; an image left as HTML would break what loads it.
        if (r.directory || node.m_nType != FT_HTML) continue;
        const CDirNode* dir = node.m_pParent;
        const std::string oldName = r.from.substr(r.from.rfind('/') + 1);
        const std::string newName = node.Name();
        std::string why;
        if (!dir || dir->m_strPath != dir->OrigPath())
            why = "its directory was renamed";
        else if (!TargetHolds(m_settings.Target, oldName))
            why = "the target cannot hold the old name";
        if (!why.empty()) {
            lines += ShownName(r.from) + "\n   (no page left: " + why + ")\n";
            continue;
        }
        const std::string line = RuleLine(r);
        if (Writer().CreateFile(*dir, oldName, StubPage(newName), "redirects", line))
            lines += line;
        else
            ++failed;
    }
    ReportFailures(IDS_REDIRECTS_FAILED, failed);
    return lines;
}

CRunDriver::Next CRunDriver::LineEnds() {
    const int lineEnd = m_settings.LineEnd;
    if (lineEnd == 0) return Next::Continue;
    CDirXpNode& top = Top();
    int n = top.ForEach([&](CFileNode& node, bool&) { return MarkLineEnd(node, lineEnd) ? 1 : 0; },
                        "Searching for ASCII Files");
    if (n < 0) return Next::Stop;
    if (n > 0) {
        int v = VerifyLineEnds(*m_pCtx, m_ui, top);
        if (v == VERIFY_ASCII_CANCEL) return Next::Stop;
        n = v;
    }
    Out() << HeadingBlock("FILES WITH CHANGED LINE ENDINGS:");
    int failed = 0;
    if (n > 0) {
        m_doc.m_dwRunStatus |= RS_LINE_ENDS;
        const int before = Writer().Failures();
        n = top.ForEach(
            [&](CFileNode& node, bool&) {
                return ConvertIfMarked(Writer(), node, lineEnd, m_autoReadOnly);
            },
            "Updating ASCII Line Ends");
        Writer().Flush();
        failed = Writer().Failures() - before;
        if (n < 0) return Next::Stop;
    }
    if (!ReportFailures(IDS_LINE_ENDS_FAILED, failed) && n == 0)
        Out() << "\n"
              << "All files had compatible ASCII line endings!"
              << "\n";
    Out() << kSectionGap;
    return Next::Continue;
}

CRunDriver::Next CRunDriver::HtmlPasses() {
    const RunSettings& s = m_settings;
    if (s.FilesOnly) return Next::Continue;
    m_doc.m_dwRunStatus |= RS_HTML_REACHED;
    CFileNode* found = Top().SiteMap().Lookup(s.HomePage);
    // The home page is a page: a style sheet is walked only when a page links to it.
    if (!found || !found->IsHtmlNode() || static_cast<CHtmlNode*>(found)->m_bStyleSheet) {
        Out() << FormatMessage(IDS_HOME_NOT_FOUND, ShownName(s.HomePage)) << "\n";
        return Next::Stop;
    }
    CHtmlNode& home = static_cast<CHtmlNode&>(*found);
    // The link passes use the mark for "used in the site": no mark of the line-end passes may
    // survive into them, whatever the verify dialog did.
    CTreeIterator marks(&Top());
    while (CFileNode* node = marks.Next())
        node->m_bMarked = false;

    // Each only when the settings call for it (PassesDue).
    const std::pair<RunPassBits, Next (CRunDriver::*)(CHtmlNode&)> passes[] = {
        {RP_SYNTAX, &CRunDriver::SyntaxErrors},
        {RP_LINK_RENAMING, &CRunDriver::LinkRenaming},
        {RP_UNRESOLVED, &CRunDriver::UnresolvedLinks},
        {RP_FRAGMENTS, &CRunDriver::UnresolvedFragments},
        {RP_UNUSED, &CRunDriver::UnusedFiles},
        {RP_EXTERNAL_CHECK, &CRunDriver::CheckExternalUrls},
        {RP_MOVED_LINKS, &CRunDriver::RewriteMoved},
        {RP_EXTERNAL_REFS, &CRunDriver::ExternalUrls},
    };
    for (const auto& [bit, pass] : passes)
        if (Pass(bit, [&] { return (this->*pass)(home); }) == Next::Stop) return Next::Stop;
    // After the described sections: what to fix, once per missing file.
    m_missing.Write(Out());
    return Next::Continue;
}

CRunDriver::Next CRunDriver::SyntaxErrors(CHtmlNode& home) {
    Out() << HeadingBlock("HTML SYNTAX ERRORS:");
    // Pages are parsed ahead on the other processors while the walk takes them in its order.
    CParseJob parse;
    CPagesAhead ahead(Top(), parse);
    CFindings* findings = m_pCtx->findings;
    int n = WalkHierarchy(
        home,
        [&](CHtmlNode& page) {
            if (findings) findings->Checked(page.m_strPath);
            return ahead.Take(page);
        },
        "Checking URL Links");
    m_nUnreadPages = parse.Unread();
    if (n < 0) return Next::Stop;
    if (n > 0) m_doc.m_dwRunStatus |= RS_SYNTAX_ERRORS;
    Out() << kSectionGap;
    return Next::Continue;
}

CRunDriver::Next CRunDriver::LinkRenaming(CHtmlNode& home) {
    int n;
    if (m_settings.UpdateLinks) {
        const int before = Writer().Failures();
        Out() << HeadingBlock("URL LINK RENAMING:");
        m_doc.m_dwRunStatus |= RS_LINKS;
        n = WalkHierarchyWith(
            home,
            [this](CHtmlNode& node, int*) {
                return RewriteLinks(Writer(), node, m_autoReadOnly, false);
            },
            nullptr, "Updating URL Links");
        Writer().Flush();
        m_nUnrenamedLinks = Writer().Failures() - before;
    } else {
        Out() << HeadingBlock("SUGGESTED URL LINK RENAMING:");
        CLinesJob changes([](const CHtmlNode& page, CFindings*) { return LinkChangeLines(page); });
        CPagesAhead ahead(Top(), changes);
        n = WalkHierarchy(
            home, [&ahead](CHtmlNode& page) { return ahead.Take(page); }, "Validating URL Links");
    }
    if (n < 0) return Next::Stop;
    if (!ReportFailures(IDS_LINKS_NOT_RENAMED, m_nUnrenamedLinks) && n == 0)
        Out() << "No local URL links needed to be renamed."
              << "\n";
    Out() << kSectionGap;
    return Next::Continue;
}

CRunDriver::Next CRunDriver::UnresolvedLinks(CHtmlNode& home) {
    Out() << HeadingBlock("UNRESOLVED LOCAL LINKS:");
    // Its findings are made in the walk's thread, with the missing targets.
    CLinesJob unresolved(
        [](const CHtmlNode& page, CFindings*) { return UnresolvedLinkLines(page); });
    CPagesAhead ahead(Top(), unresolved);
    int n = WalkHierarchy(
        home,
        [&](CHtmlNode& page) {
            const int listed = ahead.Take(page);
            if (listed > 0) m_missing.Add(page);
            return listed;
        },
        "Reporting Unresolved Links");
    if (n < 0) return Next::Stop;
    // Links that still name files renamed since are as good as unresolved.
    // Both lines are written when both apply.
    const bool unread = ReportFailures(IDS_PAGES_NOT_READ, m_nUnreadPages);
    const bool unrenamed = ReportFailures(IDS_LINKS_NOT_RENAMED, m_nUnrenamedLinks);
    if (!unread && !unrenamed && n == 0)
        Out() << "All local links are resolved!"
              << "\n";
    if (n > 0) m_doc.m_dwRunStatus |= RS_UNRESOLVED;
    Out() << kSectionGap;
    return Next::Continue;
}

// Only with fragment checks: the section is not there otherwise.
CRunDriver::Next CRunDriver::UnresolvedFragments(CHtmlNode& home) {
    Out() << HeadingBlock("UNRESOLVED FRAGMENTS:");
    CLinesJob fragments(UnresolvedFragmentLines);
    CPagesAhead ahead(Top(), fragments);
    int n = WalkHierarchy(
        home, [&ahead](CHtmlNode& page) { return ahead.Take(page); },
        "Reporting Unresolved Fragments");
    if (n < 0) return Next::Stop;
    if (n == 0)
        Out() << "All fragments are resolved!"
              << "\n";
    if (n > 0) m_doc.m_dwRunStatus |= RS_FRAGMENTS;
    Out() << kSectionGap;
    return Next::Continue;
}

CRunDriver::Next CRunDriver::UnusedFiles(CHtmlNode&) {
    Out() << HeadingBlock("THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:");
    int n = Top().ForEach([](CFileNode& node, bool&) { return ReportIfUnused(node) ? 1 : 0; },
                          "Reporting Unused Files");
    if (n < 0) return Next::Stop;
    if (n == 0)
        Out() << "All files are used in the site hierarchy!"
              << "\n";
    if (n > 0) m_doc.m_dwRunStatus |= RS_UNUSED;
    Out() << kSectionGap;
    return Next::Continue;
}

// Only with the check asked for: the sections are not there otherwise. A cancelled check
// still lists what was answered, and says how much that was.
CRunDriver::Next CRunDriver::CheckExternalUrls(CHtmlNode& home) {
    m_pExternal = std::make_unique<CExternalCheck>(m_settings.External, m_pCtx->fs);
    CExternalCheck& check = *m_pExternal;
    const int n = WalkHierarchy(
        home, [&check](CHtmlNode& page) { return check.Collect(page); },
        "Collecting External URLs");
    if (n < 0) return Next::Stop;
    const bool whole = check.Run(m_pCtx->progress);
    if (check.Write(Out(), m_pCtx->findings) > 0) m_doc.m_dwRunStatus |= RS_EXTERNAL_FAILED;
    const std::string failed = check.SaveCache();
    if (!failed.empty()) m_pCtx->NoteLine(check.CachePath(), "cache not written: " + failed);
    return whole ? Next::Continue : Next::Stop;
}

CRunDriver::Next CRunDriver::RewriteMoved(CHtmlNode& home) {
    const CExternalCheck& check = *m_pExternal;
    const auto moved = check.Moved();
    if (moved.empty()) return Next::Continue;
    // The list is shown before anything changes; a long one in part, the report has it all.
    constexpr size_t kShown = 20;
    std::string text = Format(
        "%zu external URLs moved permanently. The links to them will be "
        "changed to the new addresses:\n",
        moved.size());
    for (size_t i = 0; i < moved.size() && i < kShown; ++i)
        text += "\n" + ShownName(moved[i].first) + "\n   -------->  " + ShownName(moved[i].second);
    if (moved.size() > kShown) text += Format("\n(and %zu more)", moved.size() - kShown);
    Out() << HeadingBlock("LINKS TO MOVED EXTERNAL URLS:");
    if (m_ui.MessageBox(text, MB_ICON_INFORMATION | MB_OKCANCEL) != ID_OK) {
        Out() << "The links to moved URLs were left as they are.\n" << kSectionGap;
        return Next::Continue;
    }
    m_doc.m_dwRunStatus |= RS_LINKS;
    const int before = Writer().Failures();
    const NewAddressOf lookup = [&check](const std::string& url) { return check.MovedTo(url); };
    const int n = WalkHierarchyWith(
        home,
        [&](CHtmlNode& page, int*) {
            return RewriteMovedLinks(Writer(), page, lookup, m_autoReadOnly);
        },
        nullptr, "Updating Links to Moved URLs");
    Writer().Flush();
    const int failed = Writer().Failures() - before;
    if (n < 0) return Next::Stop;
    if (!ReportFailures(IDS_LINKS_NOT_RENAMED, failed) && n == 0)
        Out() << "No link to a moved URL could be changed.\n";
    Out() << kSectionGap;
    return Next::Continue;
}

std::string CRunDriver::ExternalPagePath() const {
    const std::string& page = m_settings.ExternalPage;
    if (page.empty()) return JoinPath(m_settings.Directory, std::string(kExternalPageName));
    return NormalizeDirectory(page[0] == '/' ? page : JoinPath(m_settings.Directory, page));
}

bool CRunDriver::JournalForPage() {
    TreeKey key;
    if (!TreeKeyOf(m_pCtx->fs, m_settings.Directory, key)) return false;
    m_doc.m_pJournal = CRunJournal::Create(m_pCtx->fs, JournalsDirectory(), key.path, key.id);
    if (!m_doc.m_pJournal) return false;
    Writer().UseJournal(m_doc.m_pJournal.get(), m_doc.m_pTree.get());
    return true;
}

CRunDriver::Next CRunDriver::ExternalUrls(CHtmlNode& home) {
    CRunContext& ctx = *m_pCtx;
    CExternalPage page(Writer(), Top(), ExternalPagePath());
    const std::string& pagePath = page.Path();
    CReportStream& aux = ctx.auxStream;
    if (CFile* file = page.Begin()) aux.Attach(file);
    // The page is finished however the pass ends; one that lost text is reported and never
    // put in place, so that no half page reaches the site.
    auto closePage = [&] {
        const bool attached = aux.IsAttached();
        aux.Detach();
        if (!attached) return false;
        if (aux.Failed()) {
            ctx.ErrorLine(pagePath, LoadString(IDS_WRITE_FAILED));
            page.Drop();
            return false;
        }
        return page.Put([this] { return JournalForPage(); });
    };
    std::string title = FormatMessage(IDS_EXTERNAL_TITLE, m_settings.HomePage);
    aux << "<html>\n<head>\n<title>" << HtmlEscape(title) << "</title>\n"
        << "</head>\n<body>\n<h2>" << HtmlEscape(title) << "</h2>\n<body>\n";
    Out() << HeadingBlock("EXTERNAL URL REFERENCES:");
    CExternalLinkReport external(aux, m_pExternal.get());
    int n = WalkHierarchy(
        home, [&external](CHtmlNode& node) { return external.Report(node); },
        "Reporting External URL References");
    if (n < 0) {
        closePage();
        return Next::Stop;
    }
    if (n == 0)
        Out() << "No external URL link references!"
              << "\n";
    aux << "</body>\n</html>\n";
    // The page is announced only when it was written whole.
    if (closePage() && n > 0) {
        Out() << "\n\n\n"
              << LoadString(IDS_EXTERNAL_PAGE_1) << "\n"
              << LoadString(IDS_EXTERNAL_PAGE_2) << "\n"
              << FormatMessage(IDS_EXTERNAL_PAGE_3, ShownName(pagePath)) << "\n";
    }
    Out() << kSectionGap;
    return Next::Continue;
}

// The logs, then the temporary reports are closed first, so nothing written so far is lost
// whatever happens to the tree, and a log that cannot be finished is still reported.
void CRunDriver::Finish() {
    try {
        if (m_pCtx) EndJournal();
    } catch (const std::exception&) {
    }
    try {
        if (!FinishReports()) ReportsMoved();
    } catch (const std::exception&) {
        if (m_bReportDue) ReportsMoved();
    }
    if (m_pReports) m_pReports->Remove();
}

bool CRunDriver::FinishReports() {
    CDirXpNode* top = m_doc.m_pTree.get();
    if (top && m_bReportDue) top->CloseAllLogs();
    // A report that lost text would pass for the whole story: it is handled like a final
    // report that cannot be written, which tells the user that it is partial.
    bool reportsWhole = !m_pReports || m_pReports->Close();
    int nEntries = 0, nDirs = 0;
    m_doc.m_nNoteBytes = m_pCtx ? m_pCtx->noteBytes : 0;
    if (top && m_bReportDue) {
        nEntries = top->m_nEntries;
        nDirs = top->m_nDirs;
        // The tree is kept only when there is something to undo.
        if ((m_doc.m_dwRunStatus & RS_MODIFIED_MASK) == 0) {
            m_doc.Keep(nullptr, nullptr);
            m_pCtx = nullptr;
        }
    }
    ExplainInterruption();
    if (!m_bReportDue) {
        if (m_doc.m_dwRunStatus & RS_INTERRUPTED_MASK) m_doc.ShowInView(m_strInterruption);
        return true;
    }
    if (!reportsWhole ||
        m_doc.BuildFinalReport(m_pReports->StatusPath(), m_pReports->ErrorPath(), nEntries, nDirs,
                               m_doc.m_dwRunStatus, m_doc.m_passes) < 0)
        return false;
    m_doc.m_bReportBuilt = true;
    return true;
}

void CRunDriver::ExplainInterruption() {
    uint32_t status = m_doc.m_dwRunStatus;
    if (!(status & RS_INTERRUPTED_MASK)) return;
    m_strInterruption += "\n\n";
    if (status & RS_MODIFIED_MASK)
        m_strInterruption += LoadString(IDS_INTERRUPTED_MODIFYING);
    else if (m_bReportDue)
        m_strInterruption += LoadString(IDS_PARTIAL_REPORT);
    else
        m_strInterruption += LoadString(IDS_NO_REPORT);
    m_ui.MessageBox(m_strInterruption);
}

// Lines still held by a stream whose last write was cut short by an exception get one more
// try, so that the reports left for the user hold all they can.
void CRunDriver::ReportsMoved() {
    try {
        m_pReports->Close();
    } catch (const std::exception&) {
    }
    m_doc.ReportsMoved(*m_pReports, true, std::string());
}

}  // namespace ts
