// Settings: the profile file, the transfer to and from the wizard's pages, and the summary.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/Profile.h"
#include "base/RunSettings.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

RunSettings Loaded(const std::string& profileText) {
    CProfile p;
    p.Parse(profileText);
    RunSettings s;
    s.Target = 99;  // every field must be overwritten
    s.Directory = "stale";
    LoadSettings(p, s);
    return s;
}

void ExpectDefaults(const RunSettings& s) {
    EXPECT_EQ(s.Target, 0);
    EXPECT_EQ(s.LineEnd, 0);
    EXPECT_FALSE(s.AutoFileName);
    EXPECT_EQ(s.AutoReadOnly, 0);
    EXPECT_EQ(s.ReportSpecial, 1);
    EXPECT_FALSE(s.Rename);
    EXPECT_EQ(s.RenameHtml, 0);
    EXPECT_TRUE(s.UseSubdirs);
    EXPECT_FALSE(s.LogSubdirs);
    EXPECT_EQ(s.Directory, "");
    EXPECT_FALSE(s.FilesOnly);
    EXPECT_FALSE(s.UpdateLinks);
    EXPECT_EQ(s.HomePage, "");
    EXPECT_TRUE(s.ReportExternalRefs);
    EXPECT_TRUE(s.ReportUnresolvedRefs);
    EXPECT_TRUE(s.ReportUnusedFiles);
}

}  // namespace

TEST(Profile, MissingProfileAndGarbageValuesGiveDefaults) {
    CTempDir dir;
    CProfile missing(dir / "nowhere/tessary.ini");
    missing.Load(RealFileSystem());
    RunSettings s;
    LoadSettings(missing, s);
    ExpectDefaults(s);

    ExpectDefaults(
        Loaded("[Settings]\nTarget=abc\nLineEnd=\nRename=yes\nAutoFileName=1x\nAutoReadOnly=7\n"
               "ReportSpecial=0x10\nUseSubdirs=99999999999999999999\nLogSubdirs=-\n"
               "[HTMLSettings]\nRenameHtml=-3\nFilesOnly=on\nReportExternalRefs=maybe\n"
               "ReportUnresolvedRefs=\nReportUnusedFiles=3.5\n"));
    // Codes that no list row and no convention stands for fall back too: a run never sees
    // a target or line end that the name rules and the converter do not know.
    RunSettings odd = Loaded("[Settings]\nTarget=42\nLineEnd=-1\n");
    EXPECT_EQ(odd.Target, 0);
    EXPECT_EQ(odd.LineEnd, 0);
    // NTFS has no list row but is a convention of its own.
    EXPECT_EQ(Loaded("[settings]\ntarget = 4\n").Target, 4);
}

TEST(Profile, EveryFieldRoundTripsInItsTextForm) {
    CTempDir dir;
    CProfile p(dir / "cfg/tessary.ini");  // the directory is created on save
    RunSettings s;
    s.Target = 6;
    s.LineEnd = 2;
    s.AutoFileName = true;
    s.AutoReadOnly = 2;
    s.ReportSpecial = 5;  // any non-zero is stored as 1
    s.Rename = true;
    s.RenameHtml = 1;
    s.UseSubdirs = false;
    s.LogSubdirs = true;
    s.Directory = "/srv/www/my site";
    s.FilesOnly = false;
    s.HomePage = "/srv/www/my site/index.html";
    s.ReportExternalRefs = false;
    s.ReportUnresolvedRefs = true;
    s.ReportUnusedFiles = false;
    s.SiteUrls = {"https://example.org/docs/", "//mirror.example.net/"};
    s.IndexFiles = {"index.html", "start.htm"};
    s.FallbackExtensions = {"html", "htm"};
    s.CheckFragments = true;
    s.CheckExternal = true;
    s.External.cacheHours = 6;
    s.Redirects = 2;
    SaveSettings(p, s);
    ASSERT_TRUE(p.Save(RealFileSystem()));
    EXPECT_EQ(
        ReadFile(p.Path()),
        "[Settings]\nTarget=6\nLineEnd=2\nRename=1\nAutoFileName=1\nAutoReadOnly=2\n"
        "ReportSpecial=1\nUseSubdirs=0\nLogSubdirs=1\nDirectory=/srv/www/my site\nRedirects=2\n\n"
        "[HTMLSettings]\nRenameHtml=1\nFilesOnly=0\nHomePage=/srv/www/my site/index.html\n"
        "ReportExternalRefs=0\nExternalPage=\nReportUnresolvedRefs=1\nReportUnusedFiles=0\n"
        "SiteUrls=https://example.org/docs/ //mirror.example.net/\n"
        "IndexFiles=index.html,start.htm\nFallbackExtensions=html,htm\n"
        "CheckFragments=1\nCheckExternal=1\nExternalCacheHours=6\n");

    CProfile back(p.Path());
    back.Load(RealFileSystem());
    RunSettings r;
    LoadSettings(back, r);
    EXPECT_TRUE(r.UpdateLinks);
    EXPECT_EQ(r.SiteUrls, s.SiteUrls);
    EXPECT_EQ(r.IndexFiles, s.IndexFiles);
    EXPECT_TRUE(r.CheckFragments);
    EXPECT_TRUE(r.CheckExternal);
    EXPECT_EQ(r.External.cacheHours, 6);
    EXPECT_EQ(r.Redirects, 2);
    // An older profile without the link options gives the defaults; blanks around items go.
    EXPECT_EQ(Loaded("[HTMLSettings]\nRenameHtml=1\n").IndexFiles, RunSettings().IndexFiles);
    EXPECT_EQ(Loaded("[HTMLSettings]\nFallbackExtensions= .html , htm,,\n").FallbackExtensions,
              (std::vector<std::string>{".html", "htm"}));
    EXPECT_EQ(
        LinkOptionsOf(Loaded("[HTMLSettings]\nFallbackExtensions=.html\n")).fallbackExtensions,
        std::vector<std::string>{"html"});
    // The settings read back are written as the same text: every field went to its place.
    CProfile again;
    SaveSettings(again, r);
    EXPECT_EQ(again.Text(), ReadFile(p.Path()));

    // ReportSpecial is read as an integer, the flags as 0/1.
    RunSettings raw = Loaded("[Settings]\nReportSpecial=7\nRename=-2\n");
    EXPECT_EQ(raw.ReportSpecial, 7);
    EXPECT_TRUE(raw.Rename);
}

TEST(Profile, SaveKeepsWhatItDoesNotOwnByteForByte) {
    CTempDir dir;
    const std::string original =
        "; written by hand\r\n"
        "[Font]\r\n"
        "Face = DejaVu Sans Mono  \r\n"
        "\r\n"
        "[Settings]\r\n"
        "Target=3\r\n"
        "# a comment inside\r\n"
        "Mystery=keep me\r\n"
        "[EditorSettings]\r\n"
        "ExternalEditor=/usr/bin/gedit\r\n"
        "UseAlways=1";  // no line end at the very end
    std::string path = dir.Write("tessary.ini", original);
    ::chmod(path.c_str(), 0600);

    CProfile p(path);
    p.Load(RealFileSystem());
    ASSERT_TRUE(p.Save(RealFileSystem()));
    EXPECT_EQ(ReadFile(path), original);  // nothing changed, nothing rewritten

    p.SetInt("Settings", "Target", 6);
    p.SetString("HTMLSettings", "HomePage", "/w/index.htm\nInjected=1");
    ASSERT_TRUE(p.Save(RealFileSystem()));
    std::string text = ReadFile(path);
    EXPECT_EQ(text,
              "; written by hand\r\n[Font]\r\nFace = DejaVu Sans Mono  \r\n\r\n[Settings]\r\n"
              "Target=6\r\n# a comment inside\r\nMystery=keep me\r\n[EditorSettings]\r\n"
              "ExternalEditor=/usr/bin/gedit\r\nUseAlways=1\r\n\r\n[HTMLSettings]\r\n"
              "HomePage=/w/index.htm\r\n");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the user's permissions survive the rewrite
    EXPECT_EQ(ListNames(dir.Path()), "tessary.ini\n");  // no temporary file left behind
}

// Found by fuzzing: a directory whose name ends in a blank came back without it (blanks around
// a value are not part of it when read), so the next run would check another directory. Such
// values, and values in quotes, are written in quotes; reading takes one pair off.
TEST(Profile, ValuesWithBlanksOrQuotesAtTheirEndsReadBackAsSet) {
    CProfile p;
    p.Parse("[Font]\nFaceName = \"DejaVu Sans\" \n");
    EXPECT_EQ(p.GetString("Font", "FaceName"), "DejaVu Sans");
    const std::string values[] = {"/home/u/my site ", " lead", "\ttab\t", "\"quoted\"", "\"",
                                  "a \"b\" c",        ""};
    for (const std::string& v : values)
        p.SetString("Settings", "Directory", v);
    p.SetString("Settings", "Directory", "/home/u/my site ");
    p.SetString("Settings", "HomePage", "\"q\"");
    p.SetString("Settings", "Editor", " e ");
    EXPECT_EQ(p.Text(),
              "[Font]\nFaceName = \"DejaVu Sans\" \n\n[Settings]\nDirectory=\"/home/u/my site \"\n"
              "HomePage=\"\"q\"\"\nEditor=\" e \"\n");
    CProfile back;
    back.Parse(p.Text());
    EXPECT_EQ(back.GetString("Settings", "Directory"), "/home/u/my site ");
    EXPECT_EQ(back.GetString("Settings", "HomePage"), "\"q\"");
    EXPECT_EQ(back.GetString("Settings", "Editor"), " e ");
    for (const std::string& v : values) {
        back.SetString("Settings", "Directory", v);
        CProfile again;
        again.Parse(back.Text());
        EXPECT_EQ(again.GetString("Settings", "Directory"), v);
    }
}

TEST(Profile, FailedSaveLeavesTheOldFileWhole) {
    CTempDir dir;
    std::string path = dir.Write("tessary.ini", "[Settings]\nTarget=1\nOther=x\n");
    CFaultyFileSystem fs;
    CProfile p(path);
    p.Load(fs);
    p.SetInt("Settings", "Target", 2);
    for (Op op : {Op::Write, Op::Sync, Op::Replace}) {
        fs.Clear();
        fs.FailOn(op);
        EXPECT_FALSE(p.Save(fs));
        EXPECT_EQ(ReadFile(path), "[Settings]\nTarget=1\nOther=x\n");
        EXPECT_EQ(ListNames(dir.Path()), "tessary.ini\n");
    }
    // A location whose parent is a file cannot hold a profile.
    dir.Write("plain", "x");
    CProfile blocked(dir / "plain/tessary.ini");
    blocked.SetInt("Settings", "Target", 1);
    EXPECT_FALSE(blocked.Save(RealFileSystem()));
}

TEST(Settings, PagesUseThePositionTables) {
    const int targetCodes[] = {0, 1, 2, 3, 6, 5, 7, 8};
    const int lineEndCodes[] = {0, 1, 3, 2};
    for (int row = 0; row < 8; ++row) {
        RunSettings s, back;
        s.Target = targetCodes[row];
        s.LineEnd = lineEndCodes[row % 4];
        PageValues p;
        LoadPages(p, s);
        EXPECT_EQ(p.nTarget, row);
        EXPECT_EQ(p.nLineEnd, row % 4);
        ReadPages(p, back);
        EXPECT_EQ(back.Target, targetCodes[row]);
        EXPECT_EQ(back.LineEnd, lineEndCodes[row % 4]);
    }
    // Codes without a row show as "None", so taking the pages' values stores 0.
    RunSettings odd;
    odd.Target = 4;
    odd.LineEnd = 9;
    PageValues p;
    LoadPages(p, odd);
    EXPECT_EQ(p.nTarget, 0);
    EXPECT_EQ(p.nLineEnd, 0);
    ReadPages(p, odd);
    EXPECT_EQ(odd.Target, 0);
    EXPECT_EQ(odd.LineEnd, 0);
}

TEST(Settings, ReadPagesReducesFlagsAndDerivesUpdateLinks) {
    PageValues p;
    p.nTarget = 2;
    p.nRename = 5;
    p.nAutoFileName = 3;
    p.nFilesOnly = 0;
    p.nRenameHtml = 2;
    p.nAutoReadOnly = 1;
    p.bReportSpecial = 4;
    p.bUseSubdirs = 1;
    p.strDirectory = "/d";
    p.strHomePage = "/d/i.htm";
    RunSettings s;
    ReadPages(p, s);
    EXPECT_EQ(s.Target, 2);
    EXPECT_TRUE(s.Rename);
    EXPECT_TRUE(s.AutoFileName);
    EXPECT_EQ(s.RenameHtml, 2);
    EXPECT_EQ(s.AutoReadOnly, 1);
    EXPECT_EQ(s.ReportSpecial, 4);
    EXPECT_EQ(s.Directory, "/d");
    EXPECT_EQ(s.HomePage, "/d/i.htm");
    EXPECT_FALSE(s.ReportExternalRefs);
    EXPECT_TRUE(s.UpdateLinks);

    struct Case {
        int target, renameHtml, lineEnd, rename, filesOnly;
        bool update;
    } cases[] = {
        {2, 0, 0, 1, 0, true},  {0, 1, 0, 1, 0, true},  {2, 0, 0, 0, 0, false},
        {2, 0, 0, 1, 1, false}, {0, 0, 1, 1, 0, false}, {0, 0, 0, 1, 0, false},
    };
    for (const Case& c : cases) {
        PageValues q;
        q.nTarget = TargetRowOf(c.target);
        q.nRenameHtml = c.renameHtml;
        q.nLineEnd = LineEndRowOf(c.lineEnd);
        q.nRename = c.rename;
        q.nFilesOnly = c.filesOnly;
        RunSettings r;
        r.UpdateLinks = !c.update;
        ReadPages(q, r);
        EXPECT_EQ(r.UpdateLinks, c.update) << c.target << c.renameHtml << c.lineEnd << c.rename;
    }
}

TEST(Settings, SummaryTexts) {
    RunSettings s;  // the first start: everything at its default
    s.Directory = "/home/ann/site";
    s.HomePage = "/home/ann/site/index.html";
    EXPECT_EQ(SettingsSummary(s),
              "Directory:  /home/ann/site\r\nHome Page:  /home/ann/site/index.html\r\n"
              "Using subdirectories\r\n\r\nFilename convention: None\r\n\r\n"
              "ASCII line end conversion: None\r\n\r\n"
              "Report HTML references for local files which can't be found\r\n"
              "Report local files which are unused in the Web hierarchy\r\n"
              "Report external URLs which are referenced by the site\r\n");

    s.Target = 2;
    s.RenameHtml = 1;
    s.Rename = true;
    s.LogSubdirs = true;
    s.LineEnd = 3;
    s.ReportUnusedFiles = false;
    s.DeriveUpdateLinks();
    EXPECT_EQ(SettingsSummary(s),
              "Directory:  /home/ann/site\r\nHome Page:  /home/ann/site/index.html\r\n"
              "Using subdirectories (make local log in each subdirectory)\r\n\r\n"
              "Filename convention: DOS/Windows 3.x\r\n"
              "Rename Web files to use Windows \".htm\", \".jpg\", etc. filename extensions\r\n"
              "Rename the files now\r\nPrompt for each filename change\r\n\r\n"
              "ASCII line end conversion: UNIX <LF>\r\n\r\n"
              "Update HTML references for files whose names change\r\n"
              "Report HTML references for local files which can't be found\r\n"
              "Report external URLs which are referenced by the site\r\n");

    s.Target = 0;
    s.RenameHtml = 2;
    s.Rename = false;
    s.AutoFileName = true;
    s.UseSubdirs = false;
    s.LineEnd = 2;
    s.FilesOnly = true;
    s.DeriveUpdateLinks();
    EXPECT_EQ(SettingsSummary(s),
              "Directory:  /home/ann/site\r\n\r\nFilename convention: None\r\n"
              "Rename Web files to use Mac/UNIX \".html\", \".jpeg\", etc. filename extensions\r\n"
              "Do not rename files, just offer suggestions\r\n\r\n"
              "ASCII line end conversion: Macintosh <CR>\r\n\r\nDo not check URL references\r\n");

    // No target and no Web extensions: neither the rename line nor the prompt line.
    s.RenameHtml = 0;
    s.AutoFileName = false;
    EXPECT_EQ(SettingsSummary(s).find("Prompt for each"), std::string::npos);
    EXPECT_EQ(SettingsSummary(s).find("rename"), std::string::npos);
    // NTFS has no list row, but the summary still names it.
    s.Target = 4;
    EXPECT_NE(SettingsSummary(s).find("Filename convention: NTFS\r\n"), std::string::npos);
}

}  // namespace ts::test
