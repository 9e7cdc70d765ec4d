#include "cli/Cli.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/Findings.h"
#include "base/Profile.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "cli/ExternalArgs.h"
#include "cli/OptionNames.h"
#include "cli/ReportFormats.h"
#include "cli/ReportOutput.h"
#include "cli/RunList.h"
#include "cli/TerminalUi.h"
#include "driver/TessaryDoc.h"
#include "driver/WizardRules.h"
#include "platform/Process.h"
#include "platform/ShownText.h"
#include "platform/TreeLock.h"
#include "site/FileNode.h"
#include "site/RunHistory.h"

namespace ts {
namespace {

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        out += (c == '\n') ? ' ' : c;
    // Collapse the double spaces the line breaks leave behind.
    std::string clean;
    for (char c : out)
        if (!(c == ' ' && !clean.empty() && clean.back() == ' ')) clean += c;
    return clean;
}

constexpr const char* kUsage =
    "Usage: tessary-cli [OPTIONS] DIRECTORY\n"
    "       tessary-cli --undo [--force] DIRECTORY | --forget DIRECTORY\n"
    "       tessary-cli --list-runs [DIRECTORY] | --version\n"
    "Run with --help for the options.\n";

// The command line as typed.
struct CliArgs {
    std::string directory, target, lineEnds, webExt, home, readOnly, reportFile, redirects;
    std::string externalPage;
    bool rename = false, noLinks = false, noSubdirs = false, logs = false, notifySpecial = false;
    bool noExternal = false, noUnresolved = false, noUnused = false, saveSettings = false;
    bool useProfile = false, yes = false, prompt = false, undo = false, listRuns = false;
    bool force = false, forget = false;
    bool quiet = false, progress = false, checkFragments = false, caseSensitiveServer = false;
    std::string format = "text";
    std::vector<std::string> siteUrls, excluded;
    std::string indexFiles, fallbackExtensions;
    ExternalArgs external;
};

void AddRedirectOptions(CLI::App& app, CliArgs& a) {
    app.add_option("--redirects", a.redirects,
                   "After renames, write a permanent redirect from every old URL to its new one: "
                   "apache (a block added to the top .htaccess), nginx (tessary-redirects.conf "
                   "to include in the server block), netlify (lines added to _redirects) or "
                   "stubs (a page at each old page's path that sends browsers on); undone with "
                   "the run")
        ->check(CLI::IsMember(Keys(RedirectNames())));
    app.add_flag("--case-sensitive-server", a.caseSensitiveServer,
                 "The server tells names apart by case alone: a rename that only changes case "
                 "gets a redirect too (always for the unix and mac targets)");
}

// The ways to deal with a run's journal beyond plain undo.
void AddUndoOptions(CLI::App& app, CliArgs& a) {
    app.add_flag("--force", a.force,
                 "With --undo: put the originals back over files changed since the run too; "
                 "what they held is kept, and undoing that undo gives it back");
    app.add_flag("--forget", a.forget,
                 "Drop the journal of the last run of DIRECTORY: that run can no longer be "
                 "undone");
}

void AddOptions(CLI::App& app, CliArgs& a) {
    app.add_option("DIRECTORY", a.directory, "The directory to process");
    app.add_option("--target", a.target, "Target file-name convention")
        ->check(CLI::IsMember(Keys(TargetNames())));
    app.add_option("--line-ends", a.lineEnds, "Convert text files' line ends")
        ->check(CLI::IsMember(Keys(LineEndNames())));
    app.add_option("--web-ext", a.webExt, "Web file-extension convention")
        ->check(CLI::IsMember(Keys(WebExtNames())));
    app.add_flag("--rename", a.rename,
                 "Rename the files (otherwise names are only suggested). On a terminal the new "
                 "names are listed first: answer y to go ahead, or give the row numbers of "
                 "entries to leave unrenamed (like 2 5-7); without a terminal --yes is needed");
    app.add_flag("--prompt", a.prompt,
                 "Ask for each new name on the terminal: accept it, accept all, no rename, edit "
                 "it (a typed name must be valid for the target) or cancel the run");
    AddRedirectOptions(app, a);
    app.add_option("--home", a.home, "Home page, relative to DIRECTORY or absolute");
    app.add_flag("--no-links", a.noLinks, "Do not check URL links");
    app.add_flag("--no-subdirs", a.noSubdirs, "Do not process subdirectories");
    app.add_flag("--logs", a.logs, "Keep a RENAME.LOG in every directory (with --rename)");
    app.add_flag("--notify-special", a.notifySpecial, "Tell about each skipped special file");
    app.add_option("--read-only", a.readOnly,
                   "Read-only entries that need a change: ask (on a terminal; otherwise skip), "
                   "skip, or convert (make them writable)")
        ->check(CLI::IsMember(Keys(ReadOnlyNames())));
    app.add_flag("--no-external", a.noExternal, "Do not report external URLs");
    app.add_flag("--no-unresolved", a.noUnresolved, "Do not report unresolved local links");
    app.add_flag("--no-unused", a.noUnused, "Do not report unused files");
    app.add_option("--site-url", a.siteUrls,
                   "An address the site is published at (like https://example.org/docs/); links "
                   "that begin with it are checked as local links. May be given again")
        ->allow_extra_args(false);
    app.add_flag("--check-fragments", a.checkFragments,
                 "Check that each local link's #fragment names an id (or an a element's "
                 "name) on its page; failures are listed under UNRESOLVED FRAGMENTS");
    app.add_option("--exclude", a.excluded,
                   "Leave alone the entries that match a shell pattern: a pattern without / "
                   "is matched against names (*.bak), one with / against paths relative to "
                   "DIRECTORY (drafts/*); a trailing / matches directories only. Excluded "
                   "entries keep their names and line ends, their links are not read, they are "
                   "never reported unused, and everything below an excluded directory is "
                   "excluded too. May be given again")
        ->allow_extra_args(false);
    AddExternalOptions(app, a.external);
    app.add_option("--index-files", a.indexFiles,
                   "The pages a server shows for a directory link, comma-separated, in the order "
                   "tried (default index.html,index.htm,default.htm)");
    app.add_option("--fallback-extensions", a.fallbackExtensions,
                   "Extensions tried for a link to a name without one, comma-separated (like "
                   "html,htm); off by default");
    app.add_option("--external-page", a.externalPage,
                   "Write the page of external URLs to FILE instead of "
                   "report_of_external_refs.htm in DIRECTORY's top (a FILE outside DIRECTORY is "
                   "not part of the run's undo)");
    app.add_option("--report", a.reportFile,
                   "Write the final report to FILE (CR LF line ends, as a saved report); - is "
                   "standard output");
    app.add_option("--format", a.format,
                   "The report's form: text (the default), json, sarif (for code-scanning "
                   "dashboards), github (workflow annotations), markdown (a summary for a CI "
                   "job page) or junit; it goes where the text report would")
        ->check(CLI::IsMember(FormatNames()));
    app.add_flag("--quiet", a.quiet,
                 "No report on standard output and no progress: the exit status tells the "
                 "outcome (a --report FILE is still written)");
    app.add_flag("--progress", a.progress,
                 "Show progress on standard error when it is no terminal (a CI log): a line "
                 "when each pass begins, then a count every five seconds");
    app.set_version_flag("--version", std::string("tessary-cli ") + TESSARY_VERSION);
    app.add_flag("--save-settings", a.saveSettings, "Store the resulting settings in the profile");
    app.add_flag("--use-profile", a.useProfile, "Start from the stored settings");
    app.add_flag("--yes", a.yes, "Change files without asking (needed without a terminal)");
    app.add_flag("--undo", a.undo,
                 "Undo the last run of DIRECTORY from its journal, also after this program ended "
                 "or was killed: every change still as the run left it goes back");
    AddUndoOptions(app, a);
    app.add_flag("--list-runs", a.listRuns,
                 "List the journaled runs (of DIRECTORY, or of every directory) and how they "
                 "ended");
}

// The stored settings (with --use-profile) and the directory given; false without a directory.
bool StartSettings(const CliArgs& a, const CProfile& profile, RunSettings& s) {
    s.AutoFileName = true;  // a terminal run chooses names itself unless --prompt is given
    s.ReportSpecial = 0;    // skipped entries are listed in the report; no message per entry
    if (a.useProfile) LoadSettings(profile, s);
    if (!a.directory.empty()) {
        // As in the wizard, another directory than the stored one gets its own home page.
        bool sameDir = a.useProfile && !s.Directory.empty() &&
                       NormalizeDirectory(a.directory) == NormalizeDirectory(s.Directory);
        s.Directory = a.directory;
        if (!a.home.empty() || !sameDir) s.HomePage.clear();
    }
    return !s.Directory.empty();
}

// The link reports a run makes, and where the external-URL page goes.
void ApplyReportOptions(const CliArgs& a, RunSettings& s) {
    if (a.noExternal) s.ReportExternalRefs = false;
    if (!a.externalPage.empty()) s.ExternalPage = NormalizeDirectory(a.externalPage);
    if (a.noUnresolved) s.ReportUnresolvedRefs = false;
    if (a.noUnused) s.ReportUnusedFiles = false;
    if (a.checkFragments) s.CheckFragments = true;
}

void ApplyOptions(const CliArgs& a, RunSettings& s) {
    s.Directory = NormalizeDirectory(s.Directory);
    if (!a.target.empty()) s.Target = TargetNames().at(a.target);
    if (!a.lineEnds.empty()) s.LineEnd = LineEndNames().at(a.lineEnds);
    if (!a.webExt.empty()) s.RenameHtml = WebExtNames().at(a.webExt);
    if (a.rename) s.Rename = true;
    if (a.prompt) s.AutoFileName = false;
    if (a.noLinks) s.FilesOnly = true;
    if (a.noSubdirs) s.UseSubdirs = false;
    if (a.logs) s.LogSubdirs = true;
    if (a.notifySpecial) s.ReportSpecial = 1;
    if (!a.readOnly.empty()) s.AutoReadOnly = ReadOnlyNames().at(a.readOnly);
    ApplyReportOptions(a, s);
    if (!a.redirects.empty()) s.Redirects = RedirectNames().at(a.redirects);
    if (a.caseSensitiveServer) s.CaseSensitiveServer = true;
    if (!a.siteUrls.empty()) s.SiteUrls = a.siteUrls;
    s.Excluded = a.excluded;
    if (!a.indexFiles.empty()) s.IndexFiles = SplitList(a.indexFiles, ',');
    if (!a.fallbackExtensions.empty()) s.FallbackExtensions = SplitList(a.fallbackExtensions, ',');
    s.DeriveUpdateLinks();
}

int Refuse(const CliStreams& io, const Refusal& r) {
    std::fprintf(io.err, "tessary-cli: %s\n", ShownName(OneLine(r.text)).c_str());
    return EXIT_USAGE;
}

// The checks the wizard makes before Finish, and the home page; EXIT_CLEAN when the run may go.
int CheckChoices(CFileSystem& fs, const CliArgs& a, const CliStreams& io, RunSettings& s) {
    if (Refusal r = CheckActions(s); !r.ok()) return Refuse(io, r);
    if (Refusal r = CheckDirectoryChoice(fs, s); !r.ok()) return Refuse(io, r);
    // Without renames no URL changes: a stored choice may stay, a typed one is a mistake.
    if (!a.redirects.empty() && a.redirects != "none" &&
        !(s.Rename && (s.Target || s.RenameHtml))) {
        std::fprintf(io.err,
                     "tessary-cli: --redirects needs renames (--rename with --target or "
                     "--web-ext)\n");
        return EXIT_USAGE;
    }
    if (!s.FilesOnly) {
        if (!a.home.empty())
            s.HomePage = a.home[0] == '/' ? NormalizeDirectory(a.home)
                                          : NormalizeDirectory(JoinPath(s.Directory, a.home));
        if (s.HomePage.empty()) s.HomePage = DefaultHomePage(fs, s);
        if (s.HomePage.empty()) {
            std::fprintf(io.err, "tessary-cli: %s (give --home PAGE, or --no-links)\n",
                         OneLine(LoadString(IDS_HOME_EMPTY)).c_str());
            return EXIT_USAGE;
        }
        if (Refusal r = CheckHomePage(fs, s); !r.ok()) return Refuse(io, r);
    }
    bool modifies = s.Modifies();
    if (modifies && !io.interactive && !a.yes) {
        std::fprintf(io.err,
                     "tessary-cli: this run would change files and there is no terminal to "
                     "confirm it; add --yes to go ahead\n");
        return EXIT_USAGE;
    }
    return EXIT_CLEAN;
}

void SaveChoices(CFileSystem& fs, CProfile& profile, const RunSettings& s, const CliStreams& io) {
    SaveSettings(profile, s);
    if (!profile.Save(fs))
        std::fprintf(io.err,
                     "tessary-cli: warning: could not store the settings in \"%s\"; they "
                     "are used for this run only\n",
                     ShownName(profile.Path()).c_str());
}

// On a terminal the undo is offered at once; later, --undo makes it.
void OfferUndo(CFileSystem& fs, CTessaryDoc& doc, CTerminalUi& ui, const CliStreams& io) {
    if (!io.interactive || !doc.CanUndo() || !ui.AskYesNo("Undo these changes?")) return;
    const std::string runFile = doc.m_strReportFile;
    const std::string runText = doc.m_strReport;
    doc.UndoLast();
    const bool same = doc.m_strReportFile == runFile && doc.m_strReport == runText;
    if (same)
        std::fprintf(io.err, "tessary-cli: %s\n", LoadString(IDS_CANNOT_UNDO));
    else if (doc.m_bReportBuilt)
        PrintReport(fs, std::string(), doc, io);
    else
        std::fprintf(io.err, "%s\n", ShownText(doc.m_strReport, true).c_str());
    std::fflush(io.out);
}

// --quiet with the report meant for standard output: nothing is written.
bool ReportSilenced(const CliArgs& a) {
    return a.quiet && (a.reportFile.empty() || a.reportFile == "-");
}

// The final report where the options send it; false when it could not be written whole.
bool Report(CFileSystem& fs, const CliArgs& a, const CTessaryDoc& doc, const CliStreams& io) {
    if (ReportSilenced(a)) return true;
    return PrintReport(fs, a.reportFile, doc, io);
}

// How progress is shown on standard error.
ProgressShown ProgressOf(const CliArgs& a, const CliStreams& io) {
    if (a.quiet) return ProgressShown::NONE;
    if (io.progress) return ProgressShown::TERMINAL;
    return a.progress ? ProgressShown::LINES : ProgressShown::NONE;
}

// Why the directory cannot be run now: its last run never ended.
std::string UnfinishedRun(CFileSystem& fs, const RunSettings& s, const CliStreams& io) {
    CTerminalUi ui(s, io.in, io.err, false, ProgressShown::NONE, true);
    CTessaryDoc doc(fs, ui, nullptr, nullptr);
    // Asked here too, so that a refusal is a usage error like the others; the run takes the
    // lock itself.
    std::unique_ptr<CTreeLock> probe;
    if (std::string busy = doc.LockTree(s.Directory, probe); !busy.empty()) return busy;
    probe.reset();
    return doc.UnfinishedRunMessage(s.Directory);
}

// Drops the journal of the directory's last run, on purpose; the exit status.
int ForgetLastRun(CFileSystem& fs, const CliStreams& io, const RunSettings& s) {
    CTerminalUi ui(s, io.in, io.err, false, ProgressShown::NONE, true);
    CTessaryDoc doc(fs, ui, nullptr, nullptr);
    int pid = 0;
    doc.FindLastRun(s.Directory, &pid);
    if (!doc.CanUndo()) {
        std::fprintf(io.err, "tessary-cli: no run of \"%s\" is journaled: nothing to forget\n",
                     ShownName(s.Directory).c_str());
        return EXIT_USAGE;
    }
    if (pid != ::getpid() && !ProcessEnded(pid)) {
        std::fprintf(
            io.err, "tessary-cli: %s\n",
            FormatMessage(IDS_RUN_GOING_ON, ShownName(s.Directory), std::to_string(pid)).c_str());
        return EXIT_USAGE;
    }
    const std::string folder = doc.m_strUndoRun;
    if (!doc.ForgetUndoRun()) {
        std::fprintf(io.err, "tessary-cli: \"%s\" could not be removed: %s\n",
                     ShownName(folder).c_str(), std::strerror(errno));
        return EXIT_EARLY;
    }
    std::fprintf(io.out, "%s\n", FormatMessage(IDS_RUN_FORGOTTEN, ShownName(s.Directory)).c_str());
    return EXIT_CLEAN;
}

// Undoes the last journaled run of the directory and prints the undo report; the exit status.
int UndoLastRun(CFileSystem& fs, CProfile& profile, const CliArgs& a, const CliStreams& io,
                const RunSettings& s) {
    CTerminalUi ui(s, io.in, io.err, io.interactive, ProgressOf(a, io), true);
    RunSettings master = s;
    CTessaryDoc doc(fs, ui, &profile, &master);
    doc.FindLastRun(s.Directory);
    if (!doc.CanUndo()) {
        std::fprintf(io.err, "tessary-cli: no run of \"%s\" is journaled: nothing to undo\n",
                     ShownName(s.Directory).c_str());
        return EXIT_USAGE;
    }
    doc.m_bUndoForce = a.force;
    doc.UndoLast();
    if (!doc.m_bReportBuilt) {
        if (!doc.m_strReport.empty()) {
            std::fprintf(io.err, "%s\n", ShownText(doc.m_strReport, true).c_str());
            return EXIT_EARLY;
        }
        std::fprintf(io.err,
                     "tessary-cli: the last run of \"%s\" changed nothing that is "
                     "still there: nothing to undo\n",
                     ShownName(s.Directory).c_str());
        return EXIT_CLEAN;
    }
    if (!Report(fs, a, doc, io)) return EXIT_EARLY;
    return doc.m_bFileProblems ? EXIT_PROBLEMS : EXIT_CLEAN;
}

// The exit status of a run that reported what it found.
int StatusOf(const CTessaryDoc& doc) {
    if (!(doc.m_dwRunStatus & RS_COMPLETED)) return EXIT_EARLY;
    // Entries skipped as they should be (hidden, special) are notes; names that break the
    // target's rules are problems even when only suggested.
    uint32_t problems = RS_SYNTAX_ERRORS | RS_UNRESOLVED | RS_UNUSED | RS_WORK_FAILED |
                        RS_NAMES_SUGGESTED | RS_FRAGMENTS | RS_EXTERNAL_FAILED;
    return (doc.m_dwRunStatus & problems) || doc.m_bFileProblems ? EXIT_PROBLEMS : EXIT_CLEAN;
}

// The machine-readable report of the run's findings, where the text report would go.
bool ReportFindings(CFileSystem& fs, const CliArgs& a, const CTessaryDoc& doc, CFindings& findings,
                    const CliStreams& io) {
    FindingsReport report;
    report.settings = doc.m_settings;
    report.findings = findings.TakeSorted();
    report.checked = findings.CheckedPages();
    report.completed = (doc.m_dwRunStatus & RS_COMPLETED) != 0;
    report.failed = (doc.m_dwRunStatus & RS_INTERRUPTED_MASK) != 0;
    report.passes = doc.m_passes;
    report.exitStatus = StatusOf(doc);
    report.workingDirectory = NormalizeDirectory(".");
    if (ReportSilenced(a)) return true;
    const ReportFormat format = FormatNamed(a.format).value_or(ReportFormat::Text);
    return PrintText(fs, a.reportFile, FormatReport(format, report), io);
}

// Performs the run and prints its report; the exit status.
int Run(CFileSystem& fs, CProfile& profile, const CliArgs& a, const CliStreams& io,
        const RunSettings& s) {
    CTerminalUi ui(s, io.in, io.err, io.interactive, ProgressOf(a, io), a.yes);
    RunSettings master = s;
    CFindings findings;  // outlives the document that refers to it
    CTessaryDoc doc(fs, ui, &profile, &master);
    const bool text = a.format == "text";
    if (!text) doc.m_pFindings = &findings;
    doc.CheckDirectory();

    bool completed = (doc.m_dwRunStatus & RS_COMPLETED) != 0;
    if (!doc.m_bReportBuilt) {
        // No report: the view holds the reason, if any was given.
        if (!doc.m_strReport.empty())
            std::fprintf(io.err, "%s\n", ShownText(doc.m_strReport, true).c_str());
        return EXIT_EARLY;
    }
    const bool reported = text ? Report(fs, a, doc, io) : ReportFindings(fs, a, doc, findings, io);
    // The run's outcome, before an undo changes the document.
    const int status = StatusOf(doc);
    OfferUndo(fs, doc, ui, io);
    if (!completed || !reported) return EXIT_EARLY;
    return status;
}

}  // namespace

int RunCli(int argc, const char* const* argv, const CliStreams& io, CFileSystem& fs) {
    CLI::App app{
        "Tessary checks a directory of files for a target file system and Web server: it "
        "suggests or makes valid unique names, converts line ends, rewrites links to renamed "
        "files and reports broken links, unused files and external URLs.",
        "tessary-cli"};
    CliArgs a;
    AddOptions(app, a);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), io.out);
        return EXIT_CLEAN;
    } catch (const CLI::CallForVersion& v) {
        std::fprintf(io.out, "%s\n", v.what());
        return EXIT_CLEAN;
    } catch (const CLI::ParseError& e) {
        std::fprintf(io.err, "tessary-cli: %s\n%s", ShownText(e.what(), true).c_str(), kUsage);
        return EXIT_USAGE;
    }

    if (a.listRuns)
        return ListRuns(fs, a.directory.empty() ? "" : NormalizeDirectory(a.directory), io.out,
                        io.err);
    CProfile profile(ProfilePath());
    profile.Load(fs);
    RunSettings s;
    if (!StartSettings(a, profile, s)) {
        std::fprintf(io.err, "tessary-cli: %s\n%s",
                     OneLine(LoadString(IDS_DIR_EMPTY_STRING)).c_str(), kUsage);
        return EXIT_USAGE;
    }
    ApplyOptions(a, s);
    if (std::string wrong = ApplyExternal(a.external, s); !wrong.empty()) {
        std::fprintf(io.err, "tessary-cli: %s\n%s", ShownText(wrong, true).c_str(), kUsage);
        return EXIT_USAGE;
    }
    if (a.force && !a.undo) {
        std::fprintf(io.err, "tessary-cli: --force goes with --undo\n%s", kUsage);
        return EXIT_USAGE;
    }
    if (a.forget) return ForgetLastRun(fs, io, s);
    if (a.undo) return UndoLastRun(fs, profile, a, io, s);
    // Before the home page is looked for: the last run may have renamed it.
    if (std::string why = UnfinishedRun(fs, s, io); !why.empty()) {
        // The message keeps its own line breaks; the names in it are shown escaped already.
        std::fprintf(io.err, "tessary-cli: %s\n", ShownText(why, true).c_str());
        return EXIT_USAGE;
    }
    if (int refused = CheckChoices(fs, a, io, s); refused != EXIT_CLEAN) return refused;
    if (a.saveSettings) SaveChoices(fs, profile, s, io);
    // Without a terminal nobody can be asked about a read-only file or a name: skip the file,
    // choose the name. This run only: the stored settings keep what the user chose.
    if (!io.interactive && s.AutoReadOnly == 0) s.AutoReadOnly = 1;
    if (!io.interactive) s.AutoFileName = true;
    return Run(fs, profile, a, io, s);
}

}  // namespace ts
