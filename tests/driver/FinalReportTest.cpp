// Assembly of the final report from the two temporary reports, and where it goes: the view or
// the external editor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "base/Profile.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const std::string kSep(80, '-');

class FinalReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile.SetPath(work / "tessary.ini");
        profile.SetString("EditorSettings", "ExternalEditor", "/usr/bin/myeditor");
        doc = NewDoc(RealFileSystem());
    }

    std::unique_ptr<CTessaryDoc> NewDoc(CFileSystem& fs) {
        auto d = std::make_unique<CTessaryDoc>(fs, ui, &profile, nullptr);
        d->m_now = [] { return std::time_t(1709622489); };  // Tue Mar  5 07:08:09 2024 UTC
        d->m_tempDir = tmp.Path();
        d->m_pEditor = &ui;
        d->m_settings = DefaultSettings(site.Path(), site / "index.html");
        d->m_settings.AutoFileName = false;
        return d;
    }

    int Build(const std::string& status, const std::string& errors, uint32_t runStatus,
              CTessaryDoc* d = nullptr, const RunPasses& passes = RunPasses()) {
        return (d ? d : doc.get())
            ->BuildFinalReport(work.Write("status.rep", status), work.Write("error.rep", errors), 9,
                               2, runStatus, passes);
    }

    // The report up to its first separator line: title and summary sentences.
    std::string Head() const { return Lf(ui.viewText.substr(0, ui.viewText.find(kSep))); }

    CTempDir site, tmp, work;
    CScriptedUi ui;
    CProfile profile;
    std::unique_ptr<CTessaryDoc> doc;
};

}  // namespace

TEST_F(FinalReportTest, EverySectionInOrder) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string status = kSep + "\r\nHTML SYNTAX ERRORS:\r\n" + kSep + "\r\n" + site.Path() +
                               "/a.htm\r\n    line 3: unclosed tag\r\n\r\n\r\n";
    const std::string errors = PadRight(site / ".htaccess", 36) + "    hidden file was skipped\r\n";
    ASSERT_EQ(Build(status, errors,
                    RS_COMPLETED | RS_HTML_REACHED | RS_SYNTAX_ERRORS | RS_UNUSED | RS_RENAMING),
              1);
    const std::string expected =
        "REPORT FROM SUCCESSFUL PASS\n\n"
        "There were file permissions errors or file I/O errors.  See below for details.\n"
        "There were HTML syntax errors.  See below for details.\n"
        "There were unused files in the Web hierarchy.  See below for details.\n\n" +
        kSep + "\nHEADER\n" + kSep +
        "\nDirectory checked on Tue Mar  5 07:08:09 2024\n\n"
        "7 files in 2 directories\n\n"
        "Directory:  " +
        site.Path() + "\nHome Page:  " + site.Path() +
        "/index.html\n"
        "Using subdirectories\n\nFilename convention: None\n\nASCII line end conversion: None\n\n"
        "Report HTML references for local files which can't be found\n"
        "Report local files which are unused in the Web hierarchy\n"
        "Report external URLs which are referenced by the site\n\n\n\n" +
        kSep + "\nREAD-ONLY, SYSTEM, HIDDEN, OR TEMPORARY FILES:\n" + kSep + "\n" + Lf(errors) +
        "\n\n\n" + Lf(status);
    EXPECT_EQ(Lf(ui.viewText), expected);
    // Every line of the report, the settings summary's included, ends in one CR LF.
    EXPECT_EQ(ui.viewText.find("\r\r"), std::string::npos);
    for (size_t i = ui.viewText.find('\n'); i != std::string::npos;
         i = ui.viewText.find('\n', i + 1))
        ASSERT_EQ(ui.viewText[i - 1], '\r') << i;
    EXPECT_TRUE(ui.viewModified);
    EXPECT_TRUE(doc->m_bFileErrors);
    EXPECT_EQ(ui.editorDialogsShown, 0);
    EXPECT_EQ(ListNames(tmp.Path()), "");  // the report's own temporary file is gone

    // Without subdirectories the count is the entry count in one directory.
    doc->m_settings.UseSubdirs = false;
    ASSERT_EQ(Build("", "", RS_COMPLETED), 1);
    EXPECT_NE(ui.viewText.find("\r\n9 files in 1 directories\r\n"), std::string::npos);
    EXPECT_FALSE(doc->m_bFileErrors);
    // Empty reports add nothing: the report ends with the summary and its gap.
    EXPECT_TRUE(Lf(ui.viewText).ends_with("referenced by the site\n\n\n\n"));
    EXPECT_EQ(ui.viewText.find("READ-ONLY"), std::string::npos);
}

TEST_F(FinalReportTest, TitleAndSummarySentencesFollowRunStatus) {
    const std::string user = "PARTIAL REPORT:  TERMINATED EARLY BY USER\n\n";
    const std::string other =
        "PARTIAL REPORT:  TERMINATED EARLY BY LOW MEMORY OR OTHER CONDITION\n\n";
    const std::string clean = "This site looks totally clean!\n";
    const struct {
        uint32_t status;
        std::string head;
    } cases[] = {
        {0, user + "\n"},
        {RS_LOW_MEMORY | RS_COMPLETED | RS_UNDONE, other + "\n"},
        // Only a run that ran to its end can be clean.
        {RS_EXCEPTION | RS_HTML_REACHED, other + "\n"},
        {RS_HTML_REACHED, user + "\n"},
        {RS_COMPLETED | RS_EXCEPTION | RS_HTML_REACHED, other + "\n"},
        {RS_UNDONE | RS_RENAMING | RS_HTML_REACHED | RS_UNRESOLVED,
         "REVERTED FILES TO INITIAL STATE\n\n"
         "There were unresolved local URLs.  See below for details.\n\n"},
        {RS_COMPLETED, "REPORT FROM SUCCESSFUL PASS\n\n\n"},
        {RS_COMPLETED | RS_HTML_REACHED, "REPORT FROM SUCCESSFUL PASS\n\n" + clean + "\n"},
        {RS_HTML_REACHED | RS_SYNTAX_ERRORS | RS_UNRESOLVED | RS_UNUSED,
         user + "There were HTML syntax errors.  See below for details.\n"
                "There were unresolved local URLs.  See below for details.\n"
                "There were unused files in the Web hierarchy.  See below for details.\n\n"},
        // Findings without the HTML passes' bit are not summarised.
        {RS_COMPLETED | RS_UNUSED, "REPORT FROM SUCCESSFUL PASS\n\n\n"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Build("status\n", "", c.status), 1);
        EXPECT_EQ(Head(), c.head) << std::hex << c.status;
    }

    // A run that ended early names what it did not finish, the pass it was in first; what it
    // found is still summarised.
    const std::string early = "The run ended early, so the site was not checked whole.";
    const RunPasses passes{RP_SCAN | RP_SYNTAX | RP_UNUSED | RP_EXTERNAL_REFS,
                           RP_SCAN | RP_SYNTAX | RP_UNUSED, RP_SCAN | RP_SYNTAX};
    ASSERT_EQ(Build("status\n", "", RS_HTML_REACHED | RS_SYNTAX_ERRORS, nullptr, passes), 1);
    EXPECT_EQ(Head(), user + early +
                          "  Not done: unused files (cut short), external URL references.\n"
                          "There were HTML syntax errors.  See below for details.\n\n");
    // Every pass done, yet the run did not end well (a fault after the last one).
    const RunPasses all{RP_SCAN | RP_SYNTAX, RP_SCAN | RP_SYNTAX, RP_SCAN | RP_SYNTAX};
    ASSERT_EQ(Build("status\n", "", RS_LOW_MEMORY | RS_HTML_REACHED, nullptr, all), 1);
    EXPECT_EQ(Head(), other + early + "\n\n");
    // A whole run has nothing to say of its passes.
    ASSERT_EQ(Build("status\n", "", RS_COMPLETED | RS_HTML_REACHED, nullptr, all), 1);
    EXPECT_EQ(Head(), "REPORT FROM SUCCESSFUL PASS\n\n" + clean + "\n");
}

TEST_F(FinalReportTest, LargeReportsGoToTheExternalEditor) {
    // 2048 + 30720 = 32768 stays in the view.
    ASSERT_EQ(Build(std::string(30000, 's'), std::string(720, 'e'), RS_COMPLETED), 1);
    EXPECT_EQ(ui.editorDialogsShown, 0);
    EXPECT_TRUE(ui.viewModified);
    EXPECT_TRUE(ui.startedEditors.empty());

    // One byte more: the dialog, and the editor even though the dialog was cancelled.
    site.Write("REPORT.TSY", "older report");
    site.Write("REPORT_1.TSY", "older report 1");
    ASSERT_EQ(Build(std::string(30001, 's'), std::string(720, 'e'), RS_COMPLETED), 1);
    EXPECT_EQ(ui.editorDialogsShown, 1);
    const std::string report = site / "REPORT_2.TSY";
    ASSERT_EQ(ui.startedEditors, std::vector<std::string>{"/usr/bin/myeditor " + report});
    EXPECT_EQ(ui.viewText, std::string(LoadString(IDS_REPORT_LOCATED_AT)) + "\r\n" + report);
    EXPECT_FALSE(ui.viewModified);
    EXPECT_TRUE(ReadFile(report).starts_with("REPORT FROM SUCCESSFUL PASS\r\n"));
    EXPECT_EQ(ReadFile(site / "REPORT.TSY"), "older report");
    EXPECT_EQ(ReadFile(site / "REPORT_1.TSY"), "older report 1");
    EXPECT_EQ(doc->m_strExternalReport, report);

    // The editor cannot be found, or cannot be started: the report stays where it is.
    ui.editorFound = false;
    ASSERT_EQ(Build(std::string(40000, 's'), "", RS_COMPLETED), 0);
    const std::string report3 = site / "REPORT_3.TSY";
    EXPECT_EQ(ui.messages.back(),
              "Could not find the following text editor!\n\"/usr/bin/myeditor\"."
              "\nPlease open \"" +
                  report3 + "\" directly from your editor.");
    EXPECT_EQ(ui.viewText, std::string(LoadString(IDS_REPORT_LOCATED_AT)) + "\r\n" + report3);
    EXPECT_TRUE(Exists(report3));
    ui.editorFound = true;
    ui.editorStarts = false;
    ASSERT_EQ(Build(std::string(40000, 's'), "", RS_COMPLETED), 0);
    EXPECT_EQ(ui.messages.back(),
              "An error occurred when opening the report with the text editor:\n "
              "\"/usr/bin/myeditor\".\nPlease open \"" +
                  site / "REPORT_4.TSY" + "\" directly from your editor.");
    // The desktop's default editor is never tried for an editor of the user's own.
    EXPECT_TRUE(ui.defaultEditorReports.empty());
    EXPECT_EQ(ui.statusNote, "");
}

TEST_F(FinalReportTest, WithoutAnEditorOfTheirOwnTheDesktopsDefaultEditorTakesLargeReports) {
    // No dialog with an empty editor box: the default editor opens the report at once.
    for (const char* blank : {"", "  "}) {
        profile.SetString("EditorSettings", "ExternalEditor", blank);
        ASSERT_EQ(Build(std::string(40000, 's'), "", RS_COMPLETED), 1);
    }
    EXPECT_EQ(ui.editorDialogsShown, 0);
    EXPECT_TRUE(ui.startedEditors.empty());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.defaultEditorReports,
              (std::vector<std::string>{site / "REPORT.TSY", site / "REPORT_1.TSY"}));
    EXPECT_EQ(ui.viewText,
              std::string(LoadString(IDS_REPORT_LOCATED_AT)) + "\r\n" + site / "REPORT_1.TSY");
    EXPECT_EQ(ui.statusNote, "");
    EXPECT_TRUE(ReadFile(site / "REPORT_1.TSY").starts_with("REPORT FROM SUCCESSFUL PASS\r\n"));
    EXPECT_TRUE(Exists(site / "REPORT.TSY"));

    // None can be started: the whole report in the view after all, kept in its file, and the
    // status bar says why and where.
    ui.defaultEditorStarts = false;
    ASSERT_EQ(Build(std::string(40000, 's'), std::string(500, 'e'), RS_COMPLETED), 1);
    const std::string report = site / "REPORT_2.TSY";
    EXPECT_EQ(ui.defaultEditorReports.back(), report);
    EXPECT_EQ(ui.viewText, ReadFile(report));
    EXPECT_GT(ui.viewText.size(), 40500u);
    EXPECT_TRUE(ui.viewText.ends_with(std::string(40000, 's')));
    EXPECT_FALSE(ui.viewModified);
    EXPECT_EQ(ui.statusNote, FormatMessage(IDS_NO_EDITOR_LARGE, report));
    EXPECT_NE(ui.statusNote.find(report), std::string::npos);
    EXPECT_EQ(doc->m_strExternalReport, report);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.editorDialogsShown, 0);

    // "Always" without an editor: small reports go the same way, and the note does not call
    // them large.
    profile.SetInt("EditorSettings", "UseAlways", 1);
    ASSERT_EQ(Build("small\n", "", RS_COMPLETED), 1);
    EXPECT_EQ(ui.defaultEditorReports.back(), site / "REPORT_3.TSY");
    EXPECT_EQ(ui.statusNote, FormatMessage(IDS_NO_EDITOR, site / "REPORT_3.TSY"));
    EXPECT_TRUE(ui.viewText.ends_with("small\n"));
    EXPECT_EQ(ui.editorDialogsShown, 0);
}

TEST_F(FinalReportTest, UseAlwaysShowsTheDialogForEveryReport) {
    profile.SetInt("EditorSettings", "UseAlways", 1);
    // Clearing the box in the dialog keeps this report in the view, and is remembered.
    ui.editorDialog = [](EditorOptions& o) {
        o.bUseAlways = 0;
        return true;
    };
    ASSERT_EQ(Build("small\n", "", RS_COMPLETED), 1);
    EXPECT_EQ(ui.editorDialogsShown, 1);
    EXPECT_TRUE(ui.startedEditors.empty());
    EXPECT_TRUE(ui.viewModified);
    EXPECT_NE(ReadFile(profile.Path()).find("UseAlways=0"), std::string::npos);

    // Leaving it set sends even a small report to the editor.
    profile.SetInt("EditorSettings", "UseAlways", 1);
    ui.editorDialog = [](EditorOptions&) { return true; };
    ASSERT_EQ(Build("small\n", "", RS_COMPLETED), 1);
    EXPECT_EQ(ui.editorDialogsShown, 2);
    EXPECT_EQ(ui.startedEditors.size(), 1u);
    EXPECT_TRUE(Exists(site / "REPORT.TSY"));
    // A view without a size limit never needs the editor.
    ui.limitedView = false;
    ASSERT_EQ(Build(std::string(40000, 's'), "", RS_COMPLETED), 1);
    EXPECT_EQ(ui.editorDialogsShown, 2);
    EXPECT_TRUE(ui.viewModified);
}

TEST_F(FinalReportTest, UnreadableReportsAndAFinalReportThatCannotBeMade) {
    CFaultyFileSystem fs;
    auto d = NewDoc(fs);
    const std::string tail = "referenced by the site\n\n\n\n";
    const struct {
        Op op;
        const char* path;
        std::string ending;
    } cases[] = {
        {Op::OpenRead, "error.rep", tail + "Error opening error report file!\n\n\n\nstatus\n"},
        {Op::Read, "error.rep",
         tail + kSep + "\nREAD-ONLY, SYSTEM, HIDDEN, OR TEMPORARY FILES:\n" + kSep +
             "\nError reading back error report file!\n\n\n\nstatus\n"},
        {Op::OpenRead, "status.rep", "errors\n\n\n\nError opening status report file!\n"},
        {Op::Read, "status.rep", "errors\n\n\n\nError reading back status report file!\n"},
    };
    for (const auto& c : cases) {
        fs.Clear();
        fs.FailOn(c.op, 1, c.path);
        ASSERT_EQ(Build("status\r\n", "errors\r\n", RS_COMPLETED, d.get()), 1);
        EXPECT_TRUE(Lf(ui.viewText).ends_with(c.ending)) << c.path << "\n" << Lf(ui.viewText);
        EXPECT_TRUE(Lf(ui.viewText).find("There were file permissions errors") !=
                    std::string::npos);
    }

    // The final report cannot be read back: message 297 in a box and in the view.
    fs.Clear();
    fs.FailOn(Op::OpenRead, 1, "/ts_");
    ui.messages.clear();
    ASSERT_EQ(Build("status\r\n", "", RS_COMPLETED, d.get()), 0);
    std::string kept = tmp / ListNames(tmp.Path()).substr(0, ListNames(tmp.Path()).size() - 1);
    ASSERT_TRUE(kept.starts_with(tmp / "ts_"));
    EXPECT_TRUE(ReadFile(kept).starts_with("REPORT FROM SUCCESSFUL PASS\r\n"));
    const std::string msg =
        "Error reading back the report file!\nThe file \"" + kept + "\" contains the final report.";
    EXPECT_EQ(ui.messages, std::vector<std::string>{msg});
    EXPECT_EQ(ui.viewText, "Error reading back the report file!\r\nThe file \"" + kept +
                               "\" contains the final report.");
    EXPECT_FALSE(ui.viewModified);

    // No file for the final report: -1 and nothing shown.
    fs.Clear();
    fs.FailOn(Op::CreateTemp);
    ui.viewText = "previous";
    EXPECT_EQ(Build("status\r\n", "", RS_COMPLETED, d.get()), -1);
    EXPECT_EQ(ui.viewText, "previous");
    EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace ts::test
