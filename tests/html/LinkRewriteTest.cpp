#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "base/RunSettings.h"
#include "platform/Text.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// A site whose links need every form of rewrite once its names are made lower case.
void WriteSite(const CTempDir& site) {
    site.Write(
        "index.htm",
        "<html><body>\n"
        "<a href=\"Page.HTM\">p</a> <a href=\"my page.htm\">m</a>\n"
        "<a href=\"/Docs/A.HTM\">abs</a><a href=\"file:Index.htm\">self</a>\n"
        "<a href=\"Old.htm#part\">o</a>\n"
        "<link href=\"Style.CSS?v=2#x\" rel=\"stylesheet\"><script src=\"Docs/Run.JS\"></script>\n"
        "<a href=\"Docs/Sub/X.htm\">x</a>\n"
        "</body></html>\n");
    site.Write("page.htm", "<p>page</p>\n");
    site.Write("my page.htm", "<p>mine</p>\n");
    site.Write("old.htm", "<p>old</p>\n");
    site.Write("STYLE.CSS", "p {}\n");
    site.Write("Docs/A.HTM",
               "<a href=\"../Images/Logo.GIF\">l</a><img src=\"../Images/Logo.GIF\">\n");
    site.Write("Docs/run.js", "go();\n");
    site.Write("Docs/Sub/X.htm",
               "<a href=\"Y.HTM\">before</a>\n"
               "<base href=\"../\">\n"
               "<a href=\"A.HTM\">after</a>\n");
    site.Write("Docs/Sub/Y.HTM", "<p>y</p>\n");
    site.Write("Images/Logo.GIF", "GIF89a\x01\x00\x01\x00\x80\x00\x00");
}

RunSettings LowerCaseRun(const std::string& dir, bool rename) {
    RunSettings s = DefaultSettings(dir, dir + "/index.htm");
    s.Target = TFS_LOWER;
    s.Rename = rename;
    s.ReportExternalRefs = false;
    s.ReportUnusedFiles = false;
    s.DeriveUpdateLinks();
    return s;
}

// Every file's relative path and content, without what a run writes into the site itself.
std::string Checksum(const std::string& dir) {
    std::string all = TreeListing(dir, true), out;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t nl = all.find('\n', pos);
        std::string line = all.substr(pos, nl - pos + 1);
        pos = nl + 1;
        if (line.find("RENAME.LOG") == std::string::npos &&
            line.find("report_of_external_refs.htm") == std::string::npos)
            out += line;
    }
    return out;
}

}  // namespace

// Each link keeps its form (absolute, relative, "../", scheme, query and fragment) and only
// the names it holds change; the report lists every change.
TEST(LinkRewrite, RewritesEveryFormAndReportsIt) {
    CTempDir site, tmp;
    WriteSite(site);
    const std::string S = site.Path();
    CScriptedUi ui;
    ui.settings = LowerCaseRun(S, true);
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u) << ui.viewText;
    EXPECT_NE(doc->m_dwRunStatus & RS_LINKS, 0u);

    EXPECT_EQ(
        ReadFile(site / "index.htm"),
        "<html><body>\n"
        "<a href=\"page.htm\">p</a> <a href=\"my%20page.htm\">m</a>\n"
        "<a href=\"/docs/a.htm\">abs</a><a href=\"file:index.htm\">self</a>\n"
        "<a href=\"old.htm#part\">o</a>\n"
        "<link href=\"style.css?v=2#x\" rel=\"stylesheet\"><script src=\"docs/run.js\"></script>\n"
        "<a href=\"docs/sub/x.htm\">x</a>\n"
        "</body></html>\n");
    EXPECT_EQ(ReadFile(site / "docs/a.htm"),
              "<a href=\"../images/logo.gif\">l</a><img src=\"../images/logo.gif\">\n");
    EXPECT_EQ(ReadFile(site / "docs/sub/x.htm"),
              "<a href=\"y.htm\">before</a>\n"
              "<base href=\"../\">\n"
              "<a href=\"a.htm\">after</a>\n");

    const std::string report = Lf(ui.viewText);
    EXPECT_EQ(ReportSection(report, "URL LINK RENAMING:"),
              "\n"
              "In file \"" +
                  S +
                  "/index.htm\"\n"
                  "   line    2: Page.HTM\n"
                  "   -------->  page.htm (case change)\n"
                  "   line    2: my page.htm\n"
                  "   -------->  my page.htm(reserved character encode)\n"
                  "   line    3: /Docs/A.HTM\n"
                  "   -------->  /docs/a.htm (case change)\n"
                  "   line    3: file:Index.htm\n"
                  "   -------->  index.htm\n"
                  "   line    4: Old.htm\n"
                  "   -------->  old.htm (case change)\n"
                  "   line    5: Style.CSS\n"
                  "   -------->  style.css (case change)\n"
                  "   line    5: Docs/Run.JS\n"
                  "   -------->  docs/run.js (case change)\n"
                  "   line    6: Docs/Sub/X.htm\n"
                  "   -------->  docs/sub/x.htm (case change)\n"
                  "\n\n\n"
                  "In file \"" +
                  S +
                  "/docs/a.htm\"\n"
                  "   line    1: ../Images/Logo.GIF\n"
                  "   -------->  ../images/logo.gif (case change)\n"
                  "   line    1: ../Images/Logo.GIF\n"
                  "   -------->  ../images/logo.gif (case change)\n"
                  "\n\n\n"
                  "In file \"" +
                  S +
                  "/docs/sub/x.htm\"\n"
                  "   line    1: Y.HTM\n"
                  "   -------->  y.htm (case change)\n"
                  "   line    3: A.HTM\n"
                  "   -------->  a.htm (case change)\n"
                  "\n\n\n\n\n");

    // Undo puts every name and every link back exactly as they were.
    WriteSite(tmp);  // the same site again, to compare with
    doc->UndoLast();
    EXPECT_EQ(Checksum(S), Checksum(tmp.Path()));
    EXPECT_EQ(Lf(ui.viewText).substr(0, 32), "REVERTED FILES TO INITIAL STATE\n");
    EXPECT_NE(Lf(ui.viewText).find("URL LINK RENAMING:"), std::string::npos);
    EXPECT_FALSE(doc->CanUndo());
}

// Names may hold a ":" or a control character, written "%3A" and "%0A" in links (both found by
// fuzzing: the ":" was taken for the end of a scheme, and the line end was written back raw,
// where reading drops it). The rewritten links must find their files on the next run.
TEST(LinkRewrite, LinksToNamesWithColonsAndControlCharactersKeepResolving) {
    CTempDir site, tmp;
    site.Write("index.htm",
               "<a href=\"New%0ALine.htm\">n</a>\n"
               "<a href=\"Tab%09Name.htm\">t</a>\n"
               "<a href=\"Colon%3AName.htm\">c</a> <a href=\"file:Colon%3AName.htm\">f</a>\n"
               "<a href=\"Sub/A%3AB.htm\">s</a>\n");
    site.Write("New\nLine.htm", "n\n");
    site.Write("Tab\tName.htm", "t\n");
    site.Write("Colon:Name.htm", "c\n");
    site.Write("Sub/A:B.htm", "<a href=\"../Colon%3AName.htm\">up</a>\n");
    CScriptedUi ui;
    ui.settings = LowerCaseRun(site.Path(), true);
    ui.settings.ReportUnusedFiles = true;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u) << ui.viewText;
    EXPECT_EQ(ReadFile(site / "index.htm"),
              "<a href=\"new%0Aline.htm\">n</a>\n"
              "<a href=\"tab%09name.htm\">t</a>\n"
              "<a href=\"colon%3Aname.htm\">c</a> <a href=\"file:colon%3Aname.htm\">f</a>\n"
              "<a href=\"sub/a%3Ab.htm\">s</a>\n");
    EXPECT_EQ(ReadFile(site / "sub/a:b.htm"), "<a href=\"../colon%3Aname.htm\">up</a>\n");

    // The next run finds every file through the links as they now are, and changes nothing.
    const std::string after = Checksum(site.Path());
    CScriptedUi again;
    again.settings = LowerCaseRun(site.Path(), true);
    again.settings.ReportUnusedFiles = true;
    auto second = MakeDoc(RealFileSystem(), again, tmp.Path());
    second->CheckDirectory();
    const std::string report = Lf(again.viewText);
    EXPECT_EQ(report.find("unresolved"), std::string::npos) << report;
    EXPECT_EQ(ReportSection(report, "UNUSED FILES:").find(".htm"), std::string::npos) << report;
    EXPECT_EQ(Checksum(site.Path()), after);
}

// Without renaming, the same changes are only suggested, with the names they would get.
TEST(LinkRewrite, SuggestsChangesWithoutTouchingAnything) {
    CTempDir site, tmp;
    site.Write("index.htm", "<a href=\"My Dir/Deep Page.htm\">x</a>\n<img src=\"../Pic.GIF\">\n");
    site.Write("My Dir/Deep Page.htm", "<a href=\"../index.htm\">home</a>\n");
    const std::string before = Checksum(site.Path());
    CScriptedUi ui;
    ui.settings = LowerCaseRun(site.Path(), false);
    ui.settings.Target = TFS_DOS_FAT;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_EQ(Checksum(site.Path()), before);
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_EQ(ReportSection(Lf(ui.viewText), "SUGGESTED URL LINK RENAMING:"),
              "\n"
              "In file \"" +
                  site.Path() +
                  "/index.htm\"\n"
                  "   line    1: My Dir/Deep Page.htm\n"
                  "   -------->  MYDIR/DEEPPAGE.HTM\n"
                  "\n"
                  "In file \"" +
                  site.Path() +
                  "/My Dir/Deep Page.htm\"\n"
                  "   line    1: ../index.htm\n"
                  "   -------->  ../INDEX.HTM (case change)\n"
                  "\n\n\n");
}

// Whatever fails while a page is rewritten in place, the page keeps every byte, nothing is
// left beside it, nothing claims it changed, and its records still describe it for undo.
TEST(LinkRewrite, FailureLeavesThePageAsItWas) {
    const std::string page = "<a href=\"Page.HTM\">p</a> and <a href=\"Page.HTM\">again</a>\n";
    struct Case {
        Op op;
        int nth;
        std::string part;
        const char* message;
    } cases[] = {
        {Op::OpenWrite, 1, "index.htm", "open failed"},
        {Op::Read, 2, "index.htm", "read failed"},
        // The page is given back its bytes from the journal at once.
        {Op::Write, 1, "index.htm", "Error updating, original left unchanged"},
        // The journal cannot reach the disk: the change is not made.
        {Op::Sync, 1, "/originals", "could not be recorded in the run's journal, left unchanged"},
        {Op::Write, 1, "/originals", "could not be recorded in the run's journal, left unchanged"},
    };
    for (const Case& k : cases) {
        CTempDir site, tmp;
        site.Write("index.htm", page);
        site.Write("page.htm", "x");
        CFaultyFileSystem fs;
        // The scan and the parse read the page first; count only the rewrite's reads.
        fs.FailOn(k.op, k.op == Op::Read ? k.nth + 2 : k.nth, k.part);
        CScriptedUi ui;
        ui.settings = LowerCaseRun(site.Path(), true);
        auto doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
        EXPECT_EQ(ReadFile(site / "index.htm"), page) << k.message;
        EXPECT_EQ(ListNames(site.Path()), "index.htm\npage.htm\n") << k.message;
        std::string report = Lf(ui.viewText);
        EXPECT_NE(report.find(PadRight(site / "index.htm", 36) + "    " + k.message),
                  std::string::npos)
            << k.message << "\n"
            << report;
        // The link that could not be renamed is no link that needed no renaming.
        EXPECT_EQ(ReportSection(report, "URL LINK RENAMING:"),
                  "URL links in 1 files could not be renamed.  See the file errors above.\n\n\n\n")
            << k.message;
    }
}

TEST(LinkRewrite, NeverWritesThroughALinkedPage) {
    CTempDir site, tmp, outside;
    std::string real = outside.Write("shared.htm", "<a href=\"PAGE.HTM\">p</a>\n");
    site.Write("index.htm", "<a href=\"shared.htm\">s</a>\n");
    site.Write("page.htm", "x");
    ASSERT_EQ(::symlink(real.c_str(), (site / "shared.htm").c_str()), 0);
    CScriptedUi ui;
    ui.settings = LowerCaseRun(site.Path(), true);
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_EQ(ReadFile(real), "<a href=\"PAGE.HTM\">p</a>\n");
    struct stat st;
    ASSERT_EQ(::lstat((site / "shared.htm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(
        Lf(ui.viewText)
            .find(PadRight(site / "shared.htm", 36) + "    symbolic link, not written through"),
        std::string::npos);
}

// Undo after a run that only converted line ends restores them and says nothing of names.
TEST(Undo, RestoresLineEndsOnly) {
    CTempDir site, tmp;
    site.Write("a.txt", "one\r\ntwo\r\n");
    site.Write("sub/b.txt", "three\rfour\r");
    const std::string before = Checksum(site.Path());
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path());
    ui.settings.FilesOnly = true;
    ui.settings.LineEnd = LE_UNIX;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_TRUE(doc->CanUndo());
    EXPECT_NE(Checksum(site.Path()), before);
    doc->UndoLast();
    EXPECT_EQ(Checksum(site.Path()), before);
    std::string report = Lf(ui.viewText);
    EXPECT_EQ(ReportSection(report, "FILES WITH CHANGED LINE ENDINGS:"),
              "UNIX ->  DOS:  " + (site / "a.txt") + "\nUNIX ->  Mac:  " + (site / "sub/b.txt") +
                  "\n\n\n\n");
    EXPECT_EQ(report.find("RENAMED FILES:"), std::string::npos);
    EXPECT_FALSE(ui.viewModified);
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

// When every rename failed there is nothing to undo: no report replaces the run's, and the
// command is gone afterwards.
TEST(Undo, AfterRenamesThatAllFailed) {
    CTempDir site, tmp;
    site.Write("A.TXT", "a");
    CFaultyFileSystem fs;
    fs.FailFrom(Op::Rename, 1);
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path());
    ui.settings.FilesOnly = true;
    ui.settings.Target = TFS_LOWER;
    ui.settings.Rename = true;
    auto doc = MakeDoc(fs, ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_TRUE(doc->CanUndo());
    std::string runReport = ui.viewText;
    EXPECT_NE(Lf(runReport).find("Error renaming"), std::string::npos);
    doc->UndoLast();
    EXPECT_EQ(ui.viewText, runReport);
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ListNames(site.Path()), "A.TXT\n");
}

// Running out of memory during undo is told in a box and in the view; the temporary reports
// move into the directory. The journal stays, so the undo can be tried again, and then ends.
TEST(Undo, LowMemoryIsReported) {
    CTempDir site, tmp;
    site.Write("A.TXT", "a");
    CFaultyFileSystem fs;
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path());
    ui.settings.FilesOnly = true;
    ui.settings.Target = TFS_LOWER;
    ui.settings.Rename = true;
    auto doc = MakeDoc(fs, ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_EQ(ListNames(site.Path()), "a.txt\n");
    fs.ThrowOn(Op::Rename);
    ui.messages.clear();
    doc->UndoLast();
    const std::string expected =
        "Undo processing interrupted by low memory!\n\"status.tsy\" has a log of the changes "
        "made by \nthis undo pass.  Save the current log and compare \nit to \"status.tsy\" to "
        "see what changes are still in effect.";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], expected);
    EXPECT_EQ(Lf(ui.viewText), expected);
    EXPECT_TRUE(Exists(site / "STATUS.TSY"));
    EXPECT_TRUE(Exists(site / "ERROR.TSY"));
    ASSERT_TRUE(doc->CanUndo());
    fs.Clear();
    ::unlink((site / "STATUS.TSY").c_str());
    ::unlink((site / "ERROR.TSY").c_str());
    doc->UndoLast();
    EXPECT_EQ(ListNames(site.Path()), "A.TXT\n");
    EXPECT_TRUE(Lf(ui.viewText).starts_with("REVERTED FILES TO INITIAL STATE\n")) << ui.viewText;
    EXPECT_FALSE(doc->CanUndo());
}

}  // namespace ts::test
