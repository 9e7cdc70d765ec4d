#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

namespace fs = std::filesystem;

void WriteSite(const CTempDir& site) {
    site.Write(
        "index.html",
        "<a href=\"./Docs/\">docs</a>\n"
        "<a href=\"Docs/Guide Page.html\">guide</a>\n"
        "<a href=\"Docs/Sub/../Guide%20Page.html#top\">dot-dot</a>\n"
        "<a href=\"https://example.org/site/Pics/Logo.png?v=1\">absolute</a>\n"
        "<a href=\"javascript:go()\">script</a><img src=\"data:image/png;base64,AAAA\">\n"
        "<a href=\"missing.html\">gone</a>\n"
        "<a href=\"Empty/\">no index</a>\n"
        // Forms a browser reads otherwise than as written: blanks around the URL, a tab
        // inside it, backslashes as separators ("%5C" is a name's own backslash).
        "<a href=\" Docs/Guide Page.html \">blanks</a> <a href=\"Docs/Sub/.&#9;/a.htm\">tab</a>\n"
        "<a href=\"Docs\\Sub\\a.htm\">backslash</a> <a href=\"Docs/Odd%5Cname.htm\">escaped</a>\n"
        "<link rel=stylesheet href=\"Docs/Look.css\">\n");
    site.Write("Docs/index.html", "<a href=\"../\">top</a> <a href=\"Sub/a.htm\">a</a>\n");
    site.Write("Docs/Guide Page.html", "<a href=\"./\">docs</a>\n");
    site.Write("Docs/Sub/a.htm", "<a href=\"../../index.html\">home</a>\n");
    site.Write("Pics/Logo.png", "\x89PNG\r\n\x1a\n");
    site.Write("Empty/x.txt", "x\n");
    site.Write("Docs/Odd\\name.htm", "<p>odd</p>\n");
    // CSS escapes are read before the URL: "\\" is a backslash, so a separator; "\67 " a "g".
    site.Write("Docs/Look.css",
               "@import \" Sub/Print\\ Sheet.css\";\n"
               "p { background: url(../Pics\\\\Lo\\67 o.png) }\n"
               "q { background: url( \" ../Pics/Logo.png \" ) }\n"
               "i { background: url(../Gone\\ File.png) }\n"
               "b { background: url(\\41 RT/Tile\\ One.png) }\n"
               "s { background: url(../Pics/Logo.png\\3F v=1) }\n");
    site.Write("Docs/ART/Tile One.png", "\x89PNG\r\n\x1a\n");
    site.Write("Docs/Sub/Print Sheet.css", "em { color: red }\n");
}

std::string Decoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A link as a browser reads it: blanks around it stripped, a tab (raw or as "&#9;") dropped,
// a backslash taken for a slash.
std::string AsRead(std::string link) {
    link = std::regex_replace(link, std::regex("&#9;|\t"), "");
    const size_t begin = link.find_first_not_of(" \n");
    link = begin == std::string::npos
               ? ""
               : link.substr(begin, link.find_last_not_of(" \n") + 1 - begin);
    std::replace(link.begin(), link.end(), '\\', '/');
    return link;
}

// Every local link of every page as a case-sensitive static server reads it; the links that
// name no file (a directory is served by its "index.html"), each as "page: link".
std::string BrokenLinks(const std::string& root) {
    const std::regex value("(?:href|src)=\"([^\"]*)\"");
    std::string broken;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".HTM" && ext != ".htm" && ext != ".html") continue;
        std::string page = ReadFile(entry.path().string());
        for (std::sregex_iterator it(page.begin(), page.end(), value), end; it != end; ++it) {
            std::string link = AsRead((*it)[1]);
            if (link.starts_with("javascript:") || link.starts_with("data:")) continue;
            link = link.substr(0, link.find_first_of("?#"));
            fs::path target;
            const std::string site = "https://example.org/site/";
            if (link.starts_with(site))
                target = fs::path(root) / Decoded(link.substr(site.size()));
            else if (link.starts_with("/"))
                target = fs::path(root) / Decoded(link.substr(1));
            else
                target = entry.path().parent_path() / Decoded(link);
            target = target.lexically_normal();
            if (fs::is_directory(target)) target /= "index.html";
            if (!fs::is_regular_file(target))
                broken += entry.path().filename().string() + ": " + link + "\n";
        }
    }
    return broken;
}

}  // namespace

// A DOS run on a site with "./", "../" and directory links, a link by the site's address and
// script and data links: afterwards every link that worked still names its file with its exact
// case, the unresolved list holds only the links that were broken, and undo gives the tree back.
TEST(LinkResolutionCli, RenamedSiteKeepsEveryWorkingLinkAndUndoRestoresIt) {
    CTempDir site;
    WriteSite(site);
    const std::string before = TreeListing(site.Path(), true);
    CliResult r = RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", "--site-url",
                              "https://example.org/site/", site.Path()},
                             "", false);
    EXPECT_EQ(r.code, 1) << r.err;  // the broken links are problems
    EXPECT_EQ(ListNames(site.Path()), "DOCS\nEMPTY\nINDEX.HTM\nPICS\n");
    // The index pages lost their server names: directory links now name them.
    EXPECT_EQ(BrokenLinks(site.Path()), "INDEX.HTM: missing.html\nINDEX.HTM: EMPTY/\n");
    const std::string home = ReadFile(site / "INDEX.HTM");
    EXPECT_NE(home.find("href=\"./DOCS/INDEX.HTM\""), std::string::npos) << home;
    EXPECT_NE(home.find("href=\"https://example.org/site/PICS/LOGO.PNG?v=1\""), std::string::npos)
        << home;
    EXPECT_NE(home.find("href=\"DOCS/Sub/../GUIDEPAG.HTM#top\""), std::string::npos) << home;
    EXPECT_NE(home.find("<a href=\"javascript:go()\">script</a><img src=\"data:image/png"),
              std::string::npos);
    // Only the URL proper is replaced: blanks, a kept component's tab and each separator stay.
    EXPECT_NE(
        home.find(
            "<a href=\" DOCS/GUIDEPAG.HTM \">blanks</a> <a href=\"DOCS/SUB/.&#9;/A.HTM\">"
            "tab</a>\n<a href=\"DOCS\\SUB\\A.HTM\">backslash</a> <a href=\"DOCS/ODDNAME.HTM\">"),
        std::string::npos)
        << home;
    // A kept component keeps its CSS escapes, and an escaped "?" its query; a renamed component
    // is written plain.
    EXPECT_EQ(ReadFile(site / "DOCS/LOOK.CSS"),
              "@import \" SUB/PRINTSHE.CSS\";\n"
              "p { background: url(../PICS\\\\LOGO.PNG) }\n"
              "q { background: url( \" ../PICS/LOGO.PNG \" ) }\n"
              "i { background: url(../Gone\\ File.png) }\n"
              "b { background: url(\\41 RT/TILEONE.PNG) }\n"
              "s { background: url(../PICS/LOGO.PNG\\3F v=1) }\n");
    std::string report = Lf(r.out);
    size_t from = report.find("UNRESOLVED LOCAL LINKS:");
    size_t to = report.find("THE FOLLOWING FILES WERE NOT USED");
    ASSERT_NE(from, std::string::npos) << report;
    std::string unresolved = report.substr(from, to - from);
    // The list follows the rewrite: the directory link is shown as it now stands.
    EXPECT_NE(unresolved.find("   line    6: missing.html\n   line    7: EMPTY/\n\n"),
              std::string::npos)
        << unresolved;
    // A URL is shown as read, its CSS escape decoded.
    EXPECT_NE(unresolved.find("LOOK.CSS\"\n   line    4: ../Gone File.png\n\n"), std::string::npos)
        << unresolved;
    EXPECT_EQ(unresolved.find(": ./"), std::string::npos) << unresolved;
    EXPECT_EQ(unresolved.find("javascript"), std::string::npos) << unresolved;
    EXPECT_EQ(std::count(unresolved.begin(), unresolved.end(), '\n'), 13) << unresolved;

    // The same run on a terminal, undone at once: the tree is back byte for byte.
    CTempDir again;
    WriteSite(again);
    r = RunCliWith({"--target", "dos", "--rename", "--no-external", "--site-url",
                    "https://example.org/site/", again.Path()},
                   "y\ny\n", true);
    EXPECT_NE(r.out.find("REVERTED FILES TO INITIAL STATE"), std::string::npos) << r.err;
    EXPECT_EQ(TreeListing(again.Path(), true), before);
}

}  // namespace ts::test

namespace ts::test {

// The index names and fallback extensions of the command line reach the link passes.
TEST(LinkResolutionCli, IndexNamesAndFallbackExtensionsAreOptions) {
    CTempDir site;
    site.Write("index.html", "<a href=\"docs/\">d</a>\n<a href=\"/about\">a</a>\n");
    site.Write("docs/start.htm", "<p>start</p>\n");
    site.Write("about.html", "<p>about</p>\n");
    CliResult r = RunCliWith({"--no-external", site.Path()}, "", false);
    EXPECT_NE(Lf(r.out).find("   line    1: docs/\n   line    2: /about\n"), std::string::npos)
        << r.out;
    r = RunCliWith({"--no-external", "--index-files", "index.html, start.htm",
                    "--fallback-extensions", "htm,.html", site.Path()},
                   "", false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("All local links are resolved!"), std::string::npos) << r.out;
}

}  // namespace ts::test
