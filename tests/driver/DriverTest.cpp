// Whole runs through the run driver: the exact report, the stop rules, and what happens when
// files, reports or memory fail.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const std::string kSep(80, '-');
const std::string kPage = "<html><head><title>Home</title></head><body>Hello</body></html>\n";

std::string Heading(const std::string& text) {
    return kSep + "\n" + text + "\n" + kSep + "\n";
}

// Cancels every walk whose progress caption is the given one.
class CCancellingUi : public CScriptedUi {
public:
    std::string cancelAt;
    bool SetDirectory(const std::string& path) override {
        return CScriptedUi::SetDirectory(path) || captions.back() == cancelAt;
    }
};

// Fails with an exception of its own at the first look at a path holding "boom".
class CThrowingFileSystem : public CFaultyFileSystem {
public:
    std::string message;
    CResult Stat(const std::string& path, FileStat& st) override {
        if (path.find("boom") != std::string::npos) throw std::runtime_error(message);
        return CFaultyFileSystem::Stat(path, st);
    }
};

class DriverTest : public ::testing::Test {
protected:
    void Run(CFileSystem& fs = RealFileSystem()) {
        doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
    }
    std::string Report() const { return Lf(MaskDate(ui.viewText)); }

    CTempDir top, tmp;
    CCancellingUi ui;
    std::unique_ptr<CTessaryDoc> doc;
};

}  // namespace

TEST_F(DriverTest, CompletedRunGivesTheExactReportAndTheExternalPage) {
    const std::string site = top.Mkdir("R&D <web>");
    top.Write("R&D <web>/index.html", kPage);
    top.Write("R&D <web>/about/team.html", kPage);
    top.Write("R&D <web>/notes.txt", "plain\n");
    top.Write("R&D <web>/.htaccess", "Deny from all\n");
    ui.settings = DefaultSettings(site, site + "/index.html");
    ui.settings.Target = TFS_UNIX;
    ui.settings.LineEnd = LE_UNIX;
    ui.settings.ReportUnusedFiles = false;
    Run();

    EXPECT_EQ(doc->m_dwRunStatus, RS_COMPLETED | RS_HTML_REACHED);
    const std::string expected =
        "REPORT FROM SUCCESSFUL PASS\n\n"
        "There were file permissions errors or file I/O errors.  See below for details.\n"
        "This site looks totally clean!\n\n" +
        Heading("HEADER") +
        "Directory checked on DDD MMM dd hh:mm:ss yyyy\n\n"
        "3 files in 1 directories\n\n"
        "Directory:  " +
        site + "\nHome Page:  " + site +
        "/index.html\nUsing subdirectories\n\n"
        "Filename convention: UNIX\nDo not rename files, just offer suggestions\n\n"
        "ASCII line end conversion: UNIX <LF>\n\n"
        "Report HTML references for local files which can't be found\n"
        "Report external URLs which are referenced by the site\n\n\n\n" +
        Heading("READ-ONLY, SYSTEM, HIDDEN, OR TEMPORARY FILES:") +
        PadRight(site + "/.htaccess", 36) + "    hidden file was skipped\n\n\n\n" +
        Heading("SUGGESTED NEW NAMES FOR FILES:") + "\nAll filenames were valid!\n\n\n\n" +
        Heading("FILES WITH CHANGED LINE ENDINGS:") +
        "\nAll files had compatible ASCII line endings!\n\n\n\n" + Heading("HTML SYNTAX ERRORS:") +
        "\n\n\n" + Heading("SUGGESTED URL LINK RENAMING:") +
        "No local URL links needed to be renamed.\n\n\n\n" + Heading("UNRESOLVED LOCAL LINKS:") +
        "All local links are resolved!\n\n\n\n" + Heading("EXTERNAL URL REFERENCES:") +
        "No external URL link references!\n\n\n\n";
    EXPECT_EQ(Report(), expected);
    EXPECT_TRUE(ui.viewModified);
    EXPECT_TRUE(doc->m_bReportBuilt);

    // The external-URL page has its head and tail, its title escaped.
    const std::string title =
        "External URLs in &quot;" + top.Path() + "/R&amp;D &lt;web&gt;/index.html&quot; Hierarchy";
    EXPECT_EQ(ReadFile(site + "/report_of_external_refs.htm"),
              "<html>\r\n<head>\r\n<title>" + title + "</title>\r\n</head>\r\n<body>\r\n<h2>" +
                  title + "</h2>\r\n<body>\r\n</body>\r\n</html>\r\n");

    ASSERT_GE(ui.captions.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(ui.captions.begin(), ui.captions.begin() + 3),
              (std::vector<std::string>{"Scanning Files", "Validating Filenames",
                                        "Searching for ASCII Files"}));
    // Nothing but the external-URL page was made: the tree is gone, the page's creation can be
    // undone, no temporary file is left.
    EXPECT_EQ(doc->m_pTree, nullptr);
    EXPECT_TRUE(doc->CanUndo());
    EXPECT_EQ(ListNames(tmp.Path()), "");
    EXPECT_TRUE(ui.mainWindowShown);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DriverTest, FilesOnlyRunsAndTheirCounts) {
    for (const char* f :
         {"a.txt", "b.txt", "c.htm", "one/1.txt", "one/2.txt", "two/3.txt", "two/4.txt"})
        top.Write(f, "x\n");
    ui.settings = DefaultSettings(top.Path());
    ui.settings.FilesOnly = true;
    ui.settings.UseSubdirs = false;
    Run();
    const std::string tail =
        "\nFilename convention: None\n\nASCII line end conversion: None\n\n"
        "Do not check URL references\n\n\n\n";
    EXPECT_EQ(Report(), "REPORT FROM SUCCESSFUL PASS\n\n\n" + Heading("HEADER") +
                            "Directory checked on DDD MMM dd hh:mm:ss yyyy\n\n"
                            "5 files in 1 directories\n\nDirectory:  " +
                            top.Path() + "\n" + tail);
    EXPECT_EQ(doc->m_dwRunStatus, RS_COMPLETED);

    ui.settings.UseSubdirs = true;
    Run();
    EXPECT_EQ(Report(), "REPORT FROM SUCCESSFUL PASS\n\n\n" + Heading("HEADER") +
                            "Directory checked on DDD MMM dd hh:mm:ss yyyy\n\n"
                            "7 files in 2 directories\n\nDirectory:  " +
                            top.Path() + "\nUsing subdirectories\n" + tail);
    EXPECT_FALSE(Exists(top / "report_of_external_refs.htm"));
}

TEST_F(DriverTest, CancelledWizardChangesNothing) {
    top.Write("index.html", kPage);
    ui.settings = DefaultSettings(top.Path(), top / "index.html");
    ui.settings.FilesOnly = true;
    Run();
    const std::string report = ui.viewText;
    const RunSettings before = doc->m_settings;
    doc->m_dwRunStatus = 0x12345;
    doc->m_pTree = std::make_unique<CDirXpNode>(nullptr, CEntryInfo{.strPath = "/kept"}, nullptr);
    CDirXpNode* tree = doc->m_pTree.get();

    ui.finish = false;
    ui.settings.Directory = "/elsewhere";
    ui.viewText.clear();
    doc->CheckDirectory();
    EXPECT_EQ(ui.wizardRuns, 2);
    EXPECT_EQ(ui.viewText, "");  // the view was not touched
    EXPECT_EQ(doc->m_strReport, report);
    EXPECT_EQ(doc->m_dwRunStatus, 0x12345u);
    EXPECT_EQ(doc->m_pTree.get(), tree);
    EXPECT_EQ(doc->m_settings.Directory, before.Directory);
    EXPECT_TRUE(ui.mainWindowShown);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

TEST_F(DriverTest, TemporaryReportsThatCannotBeCreated) {
    top.Write("index.html", kPage);
    ui.settings = DefaultSettings(top.Path(), top / "index.html");
    for (int nth : {1, 2}) {
        CFaultyFileSystem fs;
        fs.FailOn(Op::CreateTemp, nth);
        ui.messages.clear();
        ui.viewText = "previous report";
        Run(fs);
        EXPECT_EQ(ui.messages, std::vector<std::string>{LoadString(
                                   nth == 1 ? IDS_CREATE_STATUS_REPORT : IDS_CREATE_ERROR_REPORT)});
        EXPECT_EQ(ui.viewText, "previous report");
        EXPECT_FALSE(doc->m_bReportBuilt);
        EXPECT_EQ(doc->m_dwRunStatus & RS_COMPLETED, 0u);
        EXPECT_EQ(ListNames(tmp.Path()), "");
        EXPECT_TRUE(ui.mainWindowShown);
    }
    EXPECT_NE(std::string(LoadString(IDS_CREATE_ERROR_REPORT)).find("\"TMP\" environment"),
              std::string::npos);
}

TEST_F(DriverTest, CancelEndsTheRunWithAPartialReport) {
    top.Write("index.html", kPage);
    top.Write("sub/page.htm", kPage);
    ui.settings = DefaultSettings(top.Path(), top / "index.html");
    ui.settings.Target = TFS_UNIX;
    ui.settings.LineEnd = LE_UNIX;

    const std::string user = "PARTIAL REPORT:  TERMINATED EARLY BY USER\n\n";
    const std::string early = "The run ended early, so the site was not checked whole.  Not done: ";
    ui.cancelAt = "Scanning Files";
    Run();
    EXPECT_EQ(doc->m_dwRunStatus, 0u);
    std::string report = Report();
    EXPECT_TRUE(report.starts_with(user + early +
                                   "scan of the directory (cut short), file names, ASCII line "
                                   "endings, HTML syntax errors, URL link renaming, unresolved "
                                   "local links, unused files, external URL references.\n\n" +
                                   kSep))
        << report;
    EXPECT_NE(report.find("\n0 files in 0 directories\n"), std::string::npos);
    EXPECT_TRUE(report.ends_with("Report external URLs which are referenced by the site\n\n\n\n"));

    // A cancel in a later walk keeps the sections written before it.
    ui.cancelAt = "Searching for ASCII Files";
    Run();
    EXPECT_EQ(doc->m_dwRunStatus, 0u);
    report = Report();
    EXPECT_TRUE(report.starts_with(user + early + "ASCII line endings (cut short), HTML syntax " +
                                   "errors, URL link renaming, unresolved local links, unused " +
                                   "files, external URL references.\n\n" + kSep))
        << report;
    EXPECT_NE(report.find("\n2 files in 1 directories\n"), std::string::npos);
    EXPECT_TRUE(report.ends_with(Heading("SUGGESTED NEW NAMES FOR FILES:") +
                                 "\nAll filenames were valid!\n\n\n\n"));
    EXPECT_EQ(ListNames(tmp.Path()), "");

    // Cancelled once the link passes found nothing wrong: the site is not called clean, the
    // report says what was not done.
    ui.cancelAt = "Reporting Unused Files";
    Run();
    EXPECT_EQ(doc->m_dwRunStatus, RS_HTML_REACHED);
    report = Report();
    EXPECT_TRUE(report.starts_with(user + early +
                                   "unused files (cut short), external URL references.\n\n" + kSep))
        << report;
    EXPECT_EQ(report.find("totally clean"), std::string::npos);
    EXPECT_EQ(doc->m_passes.Unfinished(), uint32_t{RP_UNUSED | RP_EXTERNAL_REFS});
    EXPECT_EQ(doc->m_passes.CutShort(), uint32_t{RP_UNUSED});

    // A run that stops itself (no home page) did none of the link passes; none is cut short.
    ui.settings.HomePage = top / "missing.html";
    Run();
    EXPECT_TRUE(Report().starts_with(user + early +
                                     "HTML syntax errors, URL link renaming, unresolved local "
                                     "links, unused files, external URL references.\n\n" +
                                     kSep))
        << Report();
    // A whole run says nothing of passes.
    ui.settings.HomePage = top / "index.html";
    ui.cancelAt.clear();
    Run();
    EXPECT_TRUE(
        Report().starts_with("REPORT FROM SUCCESSFUL PASS\n\nThere were unused files in "
                             "the Web hierarchy.  See below for details.\n\n" +
                             kSep))
        << Report();
    EXPECT_EQ(doc->m_passes.Unfinished(), 0u);
}

TEST_F(DriverTest, HomePageNotFoundEndsTheRun) {
    top.Write("index.html", kPage);
    top.Write("notes.txt", "text\n");
    top.Write("sub/home.html", kPage);
    for (const std::string& home :
         {top / "missing.html", top / "notes.txt", top / "sub/home.html"}) {
        ui.settings = DefaultSettings(top.Path(), home);
        ui.settings.UseSubdirs = false;
        Run();
        EXPECT_EQ(doc->m_dwRunStatus, RS_HTML_REACHED) << home;
        EXPECT_TRUE(Report().ends_with("\n\n\n\nHome Page: \"" + home + "\" not found!\n")) << home;
        EXPECT_EQ(Report().find("HTML SYNTAX ERRORS"), std::string::npos);
        EXPECT_FALSE(Exists(top / "report_of_external_refs.htm"));
    }
    // Found under another case of its path: the map ignores case.
    ui.settings = DefaultSettings(top.Path(), top.Path() + "/INDEX.html");
    Run();
    EXPECT_EQ(doc->m_dwRunStatus & RS_COMPLETED, RS_COMPLETED);
}

TEST_F(DriverTest, ExceptionsAreExplainedAndGiveAPartialReportOnceTheTreeExists) {
    for (const char* f : {"a.txt", "b.txt", "c.txt"})
        top.Write(f, "x\n");
    ui.settings = DefaultSettings(top.Path());
    ui.settings.FilesOnly = true;
    const std::string low = LoadString(IDS_LOW_MEMORY);

    // Before the tree exists: no report, the explanation goes into the view.
    CFaultyFileSystem early;
    early.throwBadAllocAtStat = 1;
    ui.viewText = "previous";
    Run(early);
    const std::string text = low + "\n\n" + LoadString(IDS_NO_REPORT);
    EXPECT_EQ(ui.messages, std::vector<std::string>{text});
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ui.viewText, crlf);
    EXPECT_EQ(doc->m_dwRunStatus, RS_LOW_MEMORY);
    EXPECT_FALSE(doc->m_bReportBuilt);
    EXPECT_EQ(ListNames(tmp.Path()), "");

    // During the scan: a partial report.
    CFaultyFileSystem late;
    late.throwBadAllocAtStat = 3;
    ui.messages.clear();
    Run(late);
    EXPECT_EQ(ui.messages, std::vector<std::string>{low + "\n\n" + LoadString(IDS_PARTIAL_REPORT)});
    EXPECT_EQ(doc->m_dwRunStatus, RS_LOW_MEMORY);
    EXPECT_TRUE(Report().starts_with(
        "PARTIAL REPORT:  TERMINATED EARLY BY LOW MEMORY OR OTHER CONDITION\n\n"
        "The run ended early, so the site was not checked whole.  Not done: scan of the "
        "directory (cut short).\n\n"))
        << Report();
    EXPECT_TRUE(doc->m_bReportBuilt);

    // Any other failure: its own message, cut to 255 bytes without splitting a character.
    top.Write("boom.txt", "x\n");
    CThrowingFileSystem other;
    other.message = std::string(254, 'm') + "\xC3\xA9 and more";
    ui.messages.clear();
    Run(other);
    EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(254, 'm') + "\n\n" +
                                                    LoadString(IDS_PARTIAL_REPORT)});
    EXPECT_EQ(doc->m_dwRunStatus, RS_EXCEPTION);
    EXPECT_TRUE(Report().starts_with("PARTIAL REPORT:  TERMINATED EARLY BY LOW MEMORY"));
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

TEST_F(DriverTest, ExternalPageThatCannotBeCreatedDoesNotStopThePass) {
    top.Write("index.html", kPage);
    ui.settings = DefaultSettings(top.Path(), top / "index.html");
    CFaultyFileSystem fs;
    fs.FailOn(Op::CreateTemp, 1, top.Path() + "/.ts_");
    Run(fs);
    EXPECT_EQ(doc->m_dwRunStatus & RS_COMPLETED, RS_COMPLETED);
    EXPECT_FALSE(Exists(top / "report_of_external_refs.htm"));
    EXPECT_NE(Report().find(Heading("EXTERNAL URL REFERENCES:") +
                            "No external URL link references!\n\n\n\n"),
              std::string::npos);
}

TEST_F(DriverTest, UnusedFilesSkipOnlyTheLogsOwnName) {
    top.Write("index.html", kPage);
    top.Write("RENAME.LOG", "old log\n");
    top.Write("rename.log", "not a log\n");
    top.Write("orphan.txt", "nobody links here\n");
    ui.settings = DefaultSettings(top.Path(), top / "index.html");
    Run();
    const std::string report = Report();
    size_t section =
        report.find(Heading("THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:"));
    ASSERT_NE(section, std::string::npos);
    std::string listed = report.substr(section, report.find("\n\n\n", section) - section);
    EXPECT_NE(listed.find("\n" + (top / "orphan.txt") + "\n"), std::string::npos);
    EXPECT_NE(listed.find("\n" + (top / "rename.log")), std::string::npos);
    EXPECT_EQ(listed.find("RENAME.LOG"), std::string::npos);
    EXPECT_NE(doc->m_dwRunStatus & RS_UNUSED, 0u);
    EXPECT_NE(
        report.find("There were unused files in the Web hierarchy.  See below for details.\n"),
        std::string::npos);
}

TEST_F(DriverTest, FailedFinalReportLeavesTheTemporaryReportsInTheDirectory) {
    top.Write("index.html", kPage);
    top.Write(".hidden", "x\n");
    top.Write("ERROR.TSY", "the user's own file\n");
    ui.settings = DefaultSettings(top.Path());
    ui.settings.FilesOnly = true;
    ui.settings.Target = TFS_UNIX;
    CFaultyFileSystem fs;
    fs.FailOn(Op::CreateTemp, 3);  // status, error, then the final report
    ui.viewText = "previous";
    Run(fs);
    EXPECT_EQ(ReadFile(top / "STATUS.TSY"),
              kSep + "\r\nSUGGESTED NEW NAMES FOR FILES:\r\n" + kSep +
                  "\r\n\r\nAll filenames were valid!\r\n\r\n\r\n\r\n");
    EXPECT_EQ(ReadFile(top / "ERROR.TSY"), "the user's own file\n");  // never replaced
    const std::string text = FormatMessage(IDS_REPORT_MOVED, top.Path());
    EXPECT_EQ(ui.messages, std::vector<std::string>{text});
    EXPECT_EQ(Lf(ui.viewText), text);
    EXPECT_NE(ui.viewText, text);  // shown with CR LF line ends
    EXPECT_FALSE(doc->m_bReportBuilt);
    EXPECT_EQ(ListNames(tmp.Path()), "");
    EXPECT_TRUE(ui.mainWindowShown);
}

}  // namespace ts::test
