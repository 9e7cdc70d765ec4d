#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

namespace fs = std::filesystem;

// The part of a report from one heading to the next one given.
std::string Section(const std::string& report, const std::string& from, const std::string& to) {
    const size_t begin = report.find(from);
    if (begin == std::string::npos) return "";
    return report.substr(begin, report.find(to, begin) - begin);
}

// The src of every img element of a page, in order.
std::vector<std::string> ImageSources(const std::string& page) {
    static const std::regex img("<img[^>]*?\\ssrc=\"([^\"]*)\"", std::regex::icase);
    std::vector<std::string> out;
    for (std::sregex_iterator it(page.begin(), page.end(), img), end; it != end; ++it)
        out.push_back((*it)[1]);
    return out;
}

// The tag of a page that holds text ("" when none does).
std::string TagHolding(const std::string& page, const std::string& text) {
    const size_t at = page.find(text);
    if (at == std::string::npos) return "";
    const size_t begin = page.rfind('<', at);
    return page.substr(begin, page.find('>', at) + 1 - begin);
}

// The alt texts of more than 512 bytes: intro.html line 204, tech.html line 105.
const char* const kLongAlts[] = {"alt=\"Diagramme montrant la mani",
                                 "alt=\"Comparaison c&ocirc;te"};

const char* const kApacheManual = "/usr/share/doc/apache2-doc/manual";

}  // namespace

// Links written with character references name the files a browser asks for: they resolve,
// and a DOS rename replaces the references with the new names.
void WriteReferenceSite(const CTempDir& site) {
    site.Write("index.html",
               "<a href=\"caf&eacute;.html\">1</a>\n"
               "<a href=\"caf&eacute.html#menu\">2</a>\n"
               "<a href=\"x&#150;y.html\">3</a> <img src='caf&eacute;&#46;png' alt=\"\">\n"
               "<a href=\"caf&eacute;.html?a=1&copy=2\">4</a>\n");
    site.Write("caf\xC3\xA9.html", "<p>menu</p>\n");
    site.Write("x\xE2\x80\x93y.html", "<p>dash</p>\n");
    site.Write("caf\xC3\xA9.png", "\x89PNG\r\n\x1a\n");
}

TEST(HtmlReadingCli, CharacterReferencesNameTheirFiles) {
    CTempDir site;
    WriteReferenceSite(site);
    const std::string before = TreeListing(site.Path(), true);
    CliResult r = RunCliWith({"--no-external", site.Path()}, "", false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("All local links are resolved!"), std::string::npos) << r.out;

    r = RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", site.Path()}, "",
                   false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ListNames(site.Path()), "CAFE.HTM\nCAFE.PNG\nINDEX.HTM\nX_Y.HTM\n");
    // Only the name's bytes change: the fragment, the query and its "&copy=" stay as written.
    EXPECT_EQ(ReadFile(site / "INDEX.HTM"),
              "<a href=\"CAFE.HTM\">1</a>\n"
              "<a href=\"CAFE.HTM#menu\">2</a>\n"
              "<a href=\"X_Y.HTM\">3</a> <img src='CAFE.PNG' alt=\"\">\n"
              "<a href=\"CAFE.HTM?a=1&copy=2\">4</a>\n");
    EXPECT_NE(r.out.find("All local links are resolved!"), std::string::npos) << r.out;
    r = RunCliWith({"--undo", site.Path()}, "", false);
    EXPECT_EQ(TreeListing(site.Path(), true), before) << r.out;

    // A new name that keeps its "é" is written percent-encoded in place of the reference.
    CTempDir kept;
    WriteReferenceSite(kept);
    r = RunCliWith({"--target", "none", "--web-ext", "windows", "--rename", "--yes",
                    "--no-external", kept.Path()},
                   "", false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(kept / "index.htm"),
              "<a href=\"caf%C3%A9.htm\">1</a>\n"
              "<a href=\"caf%C3%A9.htm#menu\">2</a>\n"
              "<a href=\"x%E2%80%93y.htm\">3</a> <img src='caf&eacute;&#46;png' alt=\"\">\n"
              "<a href=\"caf%C3%A9.htm?a=1&copy=2\">4</a>\n");
}

// Two pages of the Apache manual whose images carry French alt texts of more than 512
// characters: their src is read and follows the image's DOS name.
TEST(HtmlReadingCli, ApacheManualImagesWithLongAltTextsAreRenamed) {
    if (!fs::is_regular_file(fs::path(kApacheManual) / "fr/rewrite/intro.html"))
        GTEST_SKIP() << "apache2-doc is not installed";
    CTempDir site;
    std::set<std::string> images;
    int longAlts = 0;
    for (const char* page : {"intro.html", "tech.html"}) {
        const std::string text = ReadFile(std::string(kApacheManual) + "/fr/rewrite/" + page);
        site.Write(std::string("fr/rewrite/") + page, text);
        for (const std::string& src : ImageSources(text))
            if (src.starts_with("../../images/")) images.insert(src.substr(13));
        for (const char* alt : kLongAlts) {
            const std::string tag = TagHolding(text, alt);
            if (tag.empty()) continue;
            ++longAlts;
            EXPECT_GT(tag.size(), 512u) << page;
        }
    }
    ASSERT_EQ(longAlts, 2);
    fs::create_directories(site / "images");
    for (const std::string& image : images)
        fs::copy_file(std::string(kApacheManual) + "/images/" + image, site / ("images/" + image));
    site.Write("index.html",
               "<a href=\"fr/rewrite/intro.html\">intro</a>\n"
               "<a href=\"fr/rewrite/tech.html\">tech</a>\n");
    CliResult r = RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", site.Path()},
                             "", false);
    EXPECT_EQ(r.out.find("being skipped"), std::string::npos) << r.out;
    // Every image is used: none of them lost its link.
    const std::string unused = Section(r.out, "THE FOLLOWING FILES WERE NOT USED", "\n\n\n");
    for (const std::string& image : images)
        EXPECT_EQ(unused.find(image), std::string::npos) << image << "\n" << unused;

    // Every image link names its renamed image, those of the long alt texts too.
    for (const char* rel : {"FR/REWRITE/INTRO.HTM", "FR/REWRITE/TECH.HTM"}) {
        const std::string page = ReadFile(site / rel);
        ASSERT_FALSE(page.empty()) << rel;
        const fs::path dir = fs::path(site / rel).parent_path();
        std::vector<std::string> sources = ImageSources(page);
        for (const char* alt : kLongAlts) {
            const std::vector<std::string> src = ImageSources(TagHolding(page, alt));
            sources.insert(sources.end(), src.begin(), src.end());
            if (!src.empty()) --longAlts;
        }
        for (const std::string& src : sources) {
            if (!src.starts_with("../../")) continue;
            EXPECT_TRUE(src.starts_with("../../IMAGES/")) << rel << ": " << src;
            EXPECT_TRUE(fs::is_regular_file(dir / src)) << rel << ": " << src;
        }
    }
    EXPECT_EQ(longAlts, 0);
}

}  // namespace ts::test
