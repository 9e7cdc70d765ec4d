// Whole runs over small sites: the link sections of the report and the external-URL page.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/FileSystem.h"
#include "site/LineEndVerify.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {

namespace {

// The tags of an HTML text in order ("a", "/a", ...) and its text with entities decoded: enough
// to see what a browser would make of the page's markup.
struct PageParts {
    std::vector<std::string> tags;
    std::vector<std::string> hrefs;
    std::string text;
};

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            size_t semi = s.find(';', i);
            std::string entity = s.substr(i + 1, semi - i - 1);
            if (entity == "amp")
                out += '&';
            else if (entity == "lt")
                out += '<';
            else if (entity == "gt")
                out += '>';
            else if (entity == "quot")
                out += '"';
            else
                ADD_FAILURE() << "unknown entity " << entity;
            i = semi;
        } else {
            out += s[i];
        }
    }
    return out;
}

PageParts ParsePage(const std::string& html) {
    PageParts parts;
    size_t i = 0;
    while (i < html.size()) {
        size_t lt = html.find('<', i);
        parts.text +=
            Unescape(html.substr(i, lt == std::string::npos ? std::string::npos : lt - i));
        if (lt == std::string::npos) break;
        size_t gt = html.find('>', lt);
        std::string tag = html.substr(lt + 1, gt - lt - 1);
        size_t sp = tag.find(' ');
        parts.tags.push_back(tag.substr(0, sp));
        if (sp != std::string::npos) {
            // The only attribute the page may carry: href="..." with nothing after it.
            std::string attr = tag.substr(sp + 1);
            EXPECT_TRUE(attr.starts_with("href=\"") && attr.back() == '"' &&
                        attr.find('"', 6) == attr.size() - 1)
                << attr;
            parts.hrefs.push_back(Unescape(attr.substr(6, attr.size() - 7)));
        }
        i = gt + 1;
    }
    return parts;
}

}  // namespace

TEST(LinkReportEndToEnd, ReportsAWholeSite) {
    CTempDir site, tmp;
    site.Write("index.html",
               "<html><head><link href=\"style.css?v=2\"><script src=\"app.js\"></script></head>\n"
               "<body background=\"pics/bg.gif\">\n"
               "<a href=\"about.html\">About</a> <a href=\"docs/Guide.html#intro\">Guide</a>\n"
               "<img src=\"pics/logo.png\" alt=\"logo\"> <a href=\"missing.html\">gone</a>\n"
               "<a href=\"http://example.com/\">ex</a> <a href=\"mailto:me@example.com\">me</a>\n"
               "<a href=\"http://x/%22%3E%3Cscript%3Ealert(1)%3C/script%3E\">bad</a>\n"
               "<p>3 > 2</p>\n"
               "</body></html>\n");
    site.Write("about.html",
               "<a href=\"index.html\">home</a>\r\n<a href=\"http://example.com/\">again</a>\r\n"
               "<a href=\"http://Example.com/\">case</a>\r\n<a href=\"./index.html\">dot</a>\r\n");
    site.Write("docs/guide.html",
               "<a href=\"../index.html\">home</a>\n<a href=\"../docs/\">dir</a>\n"
               "<a href=\"news:comp.lang\">news</a>\n<img src=\"../pics/logo.png\">\n");
    site.Write("orphan.html", "<img src=\"pics/orphan.gif\">\n");
    site.Write("style.css", "body {}\n");
    site.Write("app.js", "go();\n");
    site.Write("pics/bg.gif", "GIF89a\x01");
    site.Write("pics/logo.png", "\x89PNG\r\n");
    site.Write("pics/orphan.gif", "GIF89a\x02");
    site.Write("notes.txt", "notes\n");

    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_EQ(doc->m_dwRunStatus, RS_COMPLETED | RS_HTML_REACHED | RS_UNRESOLVED | RS_UNUSED);
    const std::string& d = site.Path();
    const std::string sep(80, '-');
    std::string expected =
        "REPORT FROM SUCCESSFUL PASS\n"
        "\n"
        "There were unresolved local URLs.  See below for details.\n"
        "There were unused files in the Web hierarchy.  See below for details.\n"
        "\n" +
        sep + "\nHEADER\n" + sep +
        "\n"
        "Directory checked on DDD MMM dd hh:mm:ss yyyy\n"
        "\n"
        "10 files in 2 directories\n"
        "\n"
        "Directory:  " +
        d + "\nHome Page:  " + d +
        "/index.html\n"
        "Using subdirectories\n"
        "\n"
        "Filename convention: None\n"
        "\n"
        "ASCII line end conversion: None\n"
        "\n"
        "Report HTML references for local files which can't be found\n"
        "Report local files which are unused in the Web hierarchy\n"
        "Report external URLs which are referenced by the site\n"
        "\n\n\n" +
        sep + "\nHTML SYNTAX ERRORS:\n" + sep + "\n" + "\n\n\n" + sep +
        "\nSUGGESTED URL LINK RENAMING:\n" + sep +
        "\n"
        "\n"
        "In file \"" +
        d +
        "/index.html\"\n"
        "   line    3: docs/Guide.html\n"
        "   -------->  docs/guide.html (case change)\n"
        "\n\n\n" +
        sep + "\nUNRESOLVED LOCAL LINKS:\n" + sep +
        "\n"
        "\n"
        "In file \"" +
        d +
        "/index.html\"\n"
        "   line    4: missing.html\n"
        "\n"
        "In file \"" +
        d +
        "/docs/guide.html\"\n"
        "   line    2: ../docs/\n"
        "\n\n\n" +
        sep + "\nTHE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:\n" + sep + "\n" + d +
        "/notes.txt\n" + d + "/orphan.html\n" + d +
        "/pics/orphan.gif\n"
        "\n\n\n" +
        sep + "\nEXTERNAL URL REFERENCES:\n" + sep +
        "\n"
        "\n"
        "In file \"" +
        d +
        "/index.html\"\n"
        "   line    5: http://example.com/\n"
        "   line    5: mailto:me@example.com\n"
        "   line    6: http://x/\"><script>alert(1)</script>\n"
        "\n"
        "In file \"" +
        d +
        "/about.html\"\n"
        "   line    2: http://example.com/\n"
        "   line    3: http://Example.com/\n"
        "\n"
        "In file \"" +
        d +
        "/docs/guide.html\"\n"
        "   line    3: news:comp.lang\n"
        "\n\n\n"
        "An HTML file has been created with the above list of external URLs so you\n"
        "can load it into your Web browser and verify the external links.\n"
        "This file is named: \"" +
        d +
        "/report_of_external_refs.htm\"\n"
        "\n\n\n" +
        // After the sections, each missing target once, most links first.
        sep + "\nMISSING TARGETS:\n" + sep + "\n" + PadRight(d + "/docs/", 36) + "    1 link\n" +
        PadRight(d + "/missing.html", 36) + "    1 link\n\n\n\n";
    EXPECT_EQ(MaskDate(Lf(ui.viewText)), expected);

    std::string page = ReadFile(site / "report_of_external_refs.htm");
    std::string title = "External URLs in &quot;" + d + "/index.html&quot; Hierarchy";
    EXPECT_EQ(Lf(page),
              "<html>\n<head>\n<title>" + title + "</title>\n</head>\n<body>\n<h2>" + title +
                  "</h2>\n<body>\n"
                  "<p>\n<b>In file &quot;" +
                  d +
                  "/index.html&quot;</b>\n<br>\n"
                  "line    5: <a href=\"http://example.com/\">http://example.com/</a><br>\n"
                  "line    5: <a href=\"mailto:me@example.com\">mailto:me@example.com</a><br>\n"
                  "line    6: <a "
                  "href=\"http://x/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\">"
                  "http://x/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;</a><br>\n"
                  "<p>\n<b>In file &quot;" +
                  d +
                  "/about.html&quot;</b>\n<br>\n"
                  "line    2: http://example.com/ (repeated above)<br>\n"
                  "line    3: <a href=\"http://Example.com/\">http://Example.com/</a><br>\n"
                  "<p>\n<b>In file &quot;" +
                  d +
                  "/docs/guide.html&quot;</b>\n<br>\n"
                  "line    3: <a href=\"news:comp.lang\">news:comp.lang</a><br>\n"
                  "</body>\n</html>\n");
}

// However hostile the URLs of a site, the page shows them as text and links, never as markup.
TEST(LinkReportEndToEnd, TheExternalPageEscapesEverythingFromTheSite) {
    CTempDir site, tmp;
    site.Write("a&b <i>.html",
               "<a href=\"http://x/%22%3E%3Cscript%3Ealert(1)%3C/script%3E\">1</a>\n"
               "<a href=\"http://x/%22%3E%3Cscript%3Ealert(1)%3C/script%3E\">2</a>\n"
               "<a href=\"http://y/?a=1&amp;b=%3Cimg%20src=x%20onerror=alert(2)%3E\">3</a>\n"
               "<a href=\"javascript://%0aalert(3)\">4</a>\n"
               "<base href=\"http://host/\"><a href=\"JavaScript:alert(4)\">5</a>\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "a&b <i>.html");
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    PageParts parts = ParsePage(Lf(ReadFile(site / "report_of_external_refs.htm")));
    for (const std::string& tag : parts.tags) {
        static const std::vector<std::string> allowed = {
            "html", "/html", "head", "/head", "title", "/title", "body", "/body",
            "h2",   "/h2",   "p",    "b",     "/b",    "br",     "a",    "/a"};
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), tag), allowed.end()) << tag;
    }
    EXPECT_EQ(parts.hrefs,
              (std::vector<std::string>{"http://x/\"><script>alert(1)</script>",
                                        "http://y/?a=1&b=<img src=x onerror=alert(2)>"}));
    EXPECT_NE(parts.text.find("In file \"" + site.Path() + "/a&b <i>.html\""), std::string::npos);
    EXPECT_NE(parts.text.find("http://x/\"><script>alert(1)</script> (repeated above)"),
              std::string::npos);
    // Links that would run script name no resource: they are not listed at all.
    EXPECT_EQ(parts.text.find("alert(3)"), std::string::npos);
    EXPECT_EQ(parts.text.find("alert(4)"), std::string::npos);
    EXPECT_EQ(parts.text.find("line    4:"), std::string::npos);
}

// A symbolic link in the page's place is neither written through nor replaced, which no undo
// could give back: it stays, and the page is not written.
TEST(LinkReportEndToEnd, ALinkInThePagesPlaceIsKeptNotWrittenThrough) {
    CTempDir site, tmp;
    site.Write("index.html", "<a href=\"http://example.com/\">x</a>\n");
    site.Write("elsewhere.htm", "keep\n");
    ASSERT_EQ(
        ::symlink((site / "elsewhere.htm").c_str(), (site / "report_of_external_refs.htm").c_str()),
        0);
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    ui.settings.ReportUnusedFiles = false;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    std::string report = Lf(ui.viewText);
    EXPECT_NE(report.find("   line    1: http://example.com/\n\n\n\n"), std::string::npos);
    EXPECT_EQ(report.find("This file is named"), std::string::npos);
    EXPECT_NE(report.find("not a plain file, left alone"), std::string::npos) << report;
    EXPECT_EQ(ReadFile(site / "elsewhere.htm"), "keep\n");
    EXPECT_TRUE(std::filesystem::is_symlink(site / "report_of_external_refs.htm"));
    EXPECT_EQ(ListNames(site.Path()).find(".ts_"), std::string::npos);
}

// Marks left by the line-end passes must not make files look used to the link passes.
TEST(LinkReportEndToEnd, LineEndMarksDoNotHideUnusedFiles) {
    CTempDir site, tmp;
    site.Write("index.html", "<p>home</p>\r\n");
    site.Write("notes.txt", "unix\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    ui.settings.LineEnd = LE_DOS;
    // Every file unchecked: nothing is converted.
    ui.verifyLineEnds = [](const std::string&, const std::vector<LineEndRow>& rows) {
        return VerifyChoices{true, std::vector<bool>(rows.size(), false)};
    };
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_NE(Lf(ui.viewText)
                  .find("HIERARCHY:\n" + std::string(80, '-') + "\n" + site / "notes.txt" + "\n"),
              std::string::npos);
    EXPECT_EQ(ReadFile(site / "notes.txt"), "unix\n");
}

TEST(LinkReportEndToEnd, AHomePageThatIsNoHtmlFileEndsTheRun) {
    for (const char* home : {"missing.html", "notes.txt"}) {
        CTempDir site, tmp;
        site.Write("notes.txt", "text\n");
        CScriptedUi ui;
        ui.settings = DefaultSettings(site.Path(), site / home);
        auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
        doc->CheckDirectory();
        EXPECT_EQ(doc->m_dwRunStatus & (RS_COMPLETED | RS_HTML_REACHED), RS_HTML_REACHED);
        EXPECT_NE(Lf(ui.viewText).find("Home Page: \"" + site / home + "\" not found!\n"),
                  std::string::npos);
        EXPECT_FALSE(Exists(site / "report_of_external_refs.htm"));
    }
}

// Only a file named exactly "RENAME.LOG" is left out of the unused files.
TEST(LinkReportEndToEnd, RenameLogsAreNeverUnused) {
    CTempDir site, tmp;
    site.Write("index.html", "<p>home</p>\n");
    site.Write("RENAME.LOG", "log\n");
    site.Write("sub/RENAME.LOG", "log\n");
    site.Write("sub/rename.log", "not a log\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    ui.settings.ReportExternalRefs = false;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    std::string sep(80, '-');
    EXPECT_NE(
        Lf(ui.viewText).find("HIERARCHY:\n" + sep + "\n" + site / "sub/rename.log" + "\n\n\n\n"),
        std::string::npos);
}

}  // namespace ts::test
