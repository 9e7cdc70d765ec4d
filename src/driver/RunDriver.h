// One run, from the wizard to the final report: the passes in a fixed order, each writing
// its section of the status report and returning whether the run goes on, then one ending
// that closes the logs and reports, explains an interruption and builds the final report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "driver/RunPasses.h"
#include "html/LinkReports.h"
#include "site/RedirectRules.h"
#include "site/Rename.h"

namespace ts {

class CDirXpNode;
class CExternalCheck;
class CHtmlNode;
class CReportStream;
class CRunContext;
class CRunUi;
class CTempReports;
class CTessaryDoc;
class CTreeLock;
class CTreeWriter;

class CRunDriver {
public:
    explicit CRunDriver(CTessaryDoc& doc);
    ~CRunDriver();

    void Run();

private:
    enum class Next { Continue, Stop };

    // False when the wizard was cancelled: nothing happened, nothing is reported.
    bool RunGuarded();
    bool EditSettings();
    // The temporary reports and a fresh tree; false when the reports cannot be created.
    bool Start();
    // False, and the user told why, when the last run of the directory never ended.
    bool NoUnfinishedRun();
    // The journal of a run that may change files; false when the run must not start.
    bool StartJournal(CRunContext& ctx);
    // Records how the run ended and keeps the journal for undo when it holds changes.
    void EndJournal();
    void RunPasses();
    // Runs a pass the settings call for, and records that it began and whether it ran to its
    // end (CTessaryDoc::m_passes).
    template <class Body>
    Next Pass(RunPassBits pass, Body&& body);

    Next Scan();
    Next FileNames();
    // Records a made or suggested name when findings are kept.
    void NameFinding(const CFileNode& node, const char* message);
    void SymbolicLinks();
    // Permanent redirects from the renamed files' old URLs to their new ones.
    void Redirects();
    // The pages left at old paths; the report lines of those written.
    std::string WriteStubs(const std::vector<RedirectRule>& rules);
    Next LineEnds();
    Next HtmlPasses();
    Next SyntaxErrors(CHtmlNode& home);
    Next LinkRenaming(CHtmlNode& home);
    Next UnresolvedLinks(CHtmlNode& home);
    Next UnresolvedFragments(CHtmlNode& home);
    Next UnusedFiles(CHtmlNode& home);
    // Asks whether the external URLs answer and lists those that do not.
    Next CheckExternalUrls(CHtmlNode& home);
    // Gives the links to URLs that moved their new address, once the user agreed.
    Next RewriteMoved(CHtmlNode& home);
    Next ExternalUrls(CHtmlNode& home);
    // Where the external-URL page goes: absolute, normalized.
    std::string ExternalPagePath() const;
    // A journal for a run that had none, made when its page is to replace a file; false when
    // none could be made.
    bool JournalForPage();

    void Finish();
    // False when the final report could not be made.
    bool FinishReports();
    void ExplainInterruption();
    void ReportsMoved();

    CReportStream& Out();
    CDirXpNode& Top();
    CTreeWriter& Writer();
    // Writes the line that tells how many items of a pass's work failed, if any did.
    bool ReportFailures(int id, int failed);

    CTessaryDoc& m_doc;
    CRunUi& m_ui;
    // The settings of this run: the document's, once the wizard ended with Finish.
    RunSettings m_settings;
    // "To all" answers hold for the rest of this run only, not for the next wizard.
    bool m_bAutoFileName = false;
    ReadOnlyChoice m_autoReadOnly = RO_ASK;
    // The run's context until the document keeps it with the new tree.
    std::unique_ptr<CRunContext> m_pNewCtx;
    // No other process works on this tree, above or below it, while this one does.
    std::unique_ptr<CTreeLock> m_pTreeLock;
    CRunContext* m_pCtx = nullptr;
    std::unique_ptr<CTempReports> m_pReports;
    bool m_bReportDue = false;
    // Entries renamed on disk by this run: only then can a symbolic link need a new text.
    int m_nRenamed = 0;
    // Pages the link check could not read: their links are unknown.
    int m_nUnreadPages = 0;
    // Pages whose links could not be renamed: some of their links name old files.
    int m_nUnrenamedLinks = 0;
    std::string m_strInterruption;
    // The unresolved links, by the path they name.
    CMissingTargets m_missing;
    // The answers of the external URLs, for the external-URL page's marks.
    std::unique_ptr<CExternalCheck> m_pExternal;
};

}  // namespace ts
