#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "html/Url.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {

namespace {

// The URLs of a page or sheet as a browser would fetch them, found with patterns of their own.
std::vector<std::string> UrlsIn(const std::string& text) {
    static const std::regex attr(
        R"re((?:href|src|poster|formaction|xlink:href)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re",
        std::regex::icase);
    static const std::regex srcset(R"re(srcset\s*=\s*"([^"]*)")re", std::regex::icase);
    static const std::regex css(R"re(url\(\s*['"]?([^'")\s]+)|@import\s+["']([^"']+))re",
                                std::regex::icase);
    static const std::regex refresh(R"re(url=([^"]+)")re", std::regex::icase);
    std::vector<std::string> urls;
    auto all = [&](const std::regex& re) {
        for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
            for (size_t g = 1; g < it->size(); ++g)
                if ((*it)[g].matched) urls.push_back((*it)[g].str());
    };
    all(attr);
    all(css);
    all(refresh);
    for (std::sregex_iterator it(text.begin(), text.end(), srcset), end; it != end; ++it) {
        std::string list = (*it)[1].str();
        static const std::regex candidate(R"re((?:^|,)\s*(\S+?)(?:\s+\d+x)?(?=,|$|\s))re");
        for (std::sregex_iterator c(list.begin(), list.end(), candidate), e; c != e; ++c)
            urls.push_back((*c)[1].str());
    }
    return urls;
}

// A relative path without its "." and ".." steps.
std::string Normal(const std::string& path) {
    std::vector<std::string> parts;
    size_t b = 0;
    for (;;) {
        size_t e = path.find('/', b);
        std::string part = path.substr(b, e == std::string::npos ? e : e - b);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (e == std::string::npos) break;
        b = e + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

// The directory part of a path, with its separator.
std::string DirOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

// A site with every link form of today's pages, renamed for DOS with Windows extensions and its
// links updated: afterwards every link names a file that exists under its very name, the report
// has no syntax errors, and no file that is linked to is called unused.
TEST(LinkFormsEndToEnd, EveryLinkFormFollowsItsRenamedTarget) {
    CTempDir site;
    site.Write("index.html",
               "<html><head><title>A -> B</title>\n"
               "<link rel=stylesheet href='Styles/Site_Main.css'>\n"
               "<meta http-equiv=\"refresh\" content=\"30; url=Pages/Next_Page.html\">\n"
               "<style>\n@import \"Styles/Extra_Sheet.css\";\n"
               "body { background: url( Images/Back_Ground.png ) }\n</style>\n"
               "</head><body>\n<p title=\"<-\">A -> B</p>\n"
               "<a href='Pages/Next_Page.html'>single</a> <a href=Pages/Long_Page.html>bare</a>\n"
               "<img src=\"Images/Photo_Large.jpeg\" srcset=\"Images/Photo_Small.jpeg 1x,\n"
               "  Images/Photo_Large.jpeg 2x\">\n"
               "<p style=\"background: url('Images/Back_Ground.png')\">x</p>\n"
               "<svg><use xlink:href=\"Images/Icon_Sheet.svg#home\"/></svg>\n"
               "<video poster=\"Images/Video_Poster.jpeg\" src=\"Media/Movie_File.mp4\"></video>\n"
               "<form><button formaction=\"Pages/Form_Target.html\">go</button></form>\n"
               "<script>if (a < b && c > d) { go(\"<a href='nothing.html'>\"); }</script>\n"
               "</body></html>\n");
    site.Write("Pages/Next_Page.html", "<a href=\"../index.html\">home</a>\n");
    site.Write("Pages/Long_Page.html", "<a href='Next_Page.html'>next</a>\n");
    site.Write("Pages/Form_Target.html", "<p>thanks</p>\n");
    site.Write("Styles/Site_Main.css",
               "@import 'Second_Sheet.css';\nh1 { background: url(../Images/Head_Line.png) }\n");
    site.Write("Styles/Second_Sheet.css", "p { background: url(\"../Images/From_Sheet.png\") }\n");
    site.Write("Styles/Extra_Sheet.css", "em { color: red }\n");
    for (const char* image :
         {"Images/Back_Ground.png", "Images/Photo_Large.jpeg", "Images/Photo_Small.jpeg",
          "Images/Head_Line.png", "Images/From_Sheet.png", "Images/Video_Poster.jpeg"})
        site.Write(image, "\x89PNG\r\n\x1a\n");
    site.Write("Images/Icon_Sheet.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
    site.Write("Media/Movie_File.mp4", std::string("\0\0\0\x18", 4) + "ftypmp42");
    site.Write("Unused_Page.html", "<p>nobody links here</p>\n");

    CliResult r = RunCliWith(
        {"--target", "dos", "--web-ext", "windows", "--rename", "--yes", site.Path()}, "", false);
    // Status 1: the unused page is a problem the report lists.
    ASSERT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out.find("HTML syntax error"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("tag > 512"), std::string::npos) << r.out;
    // Only the page nobody links to is unused.
    const std::string unusedHeading = "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:";
    size_t unused = r.out.find(unusedHeading);
    ASSERT_NE(unused, std::string::npos) << r.out;
    std::string unusedList = r.out.substr(unused, r.out.find("\n\n\n", unused) - unused);
    EXPECT_NE(unusedList.find("UNUSED_P.HTM"), std::string::npos) << unusedList;
    // The heading, its rule and one file.
    EXPECT_EQ(std::count(unusedList.begin(), unusedList.end(), '\n'), 2) << unusedList;

    std::string listing = TreeListing(site.Path(), false);
    std::set<std::string> files;
    for (size_t b = 0, e; (e = listing.find('\n', b)) != std::string::npos; b = e + 1)
        files.insert(listing.substr(b, e - b));
    size_t checked = 0;
    for (const std::string& file : files) {
        if (file.back() == '/') continue;
        std::string ext = file.substr(file.rfind('.') + 1);
        if (ext != "HTM" && ext != "CSS") continue;
        std::string text = ReadFile(site / file);
        // A script's text holds no links.
        text = std::regex_replace(text, std::regex("<script>[^]*?</script>"), "");
        for (std::string url : UrlsIn(text)) {
            url = url.substr(0, url.find_first_of("?#"));
            DecodeUrl(url);
            std::string target = Normal(DirOf(file) + url);
            EXPECT_TRUE(files.count(target)) << file << " links to " << url << "\n" << text;
            ++checked;
        }
    }
    // Every link form above was read from the renamed files (the script's is no link).
    EXPECT_EQ(checked, 19u);
    EXPECT_TRUE(files.count("STYLES/SITE_MAI.CSS")) << listing;
    EXPECT_NE(ReadFile(site / "INDEX.HTM").find("href='STYLES/SITE_MAI.CSS'"), std::string::npos);
    EXPECT_NE(ReadFile(site / "INDEX.HTM").find("go(\"<a href='nothing.html'>\")"),
              std::string::npos);
}

}  // namespace ts::test
