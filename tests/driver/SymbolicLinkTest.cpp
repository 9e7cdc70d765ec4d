// Whole runs on real trees holding symbolic links: the links inside the site follow the entries
// a rename moves, undo gives them back their old texts, and a link that cannot be re-pointed
// stays as it was and is reported.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "base/Strings.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

std::string LinkText(const std::string& path) {
    char buf[4096];
    ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? "<not a link>" : std::string(buf, static_cast<size_t>(n));
}

// Every entry below dir, never following a link: a file's bytes, a link's text, a directory.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : stdfs::recursive_directory_iterator(dir)) {
        std::string rel = e.path().string().substr(dir.size() + 1);
        if (e.is_symlink())
            out[rel] = "link -> " + LinkText(e.path().string());
        else if (e.is_directory())
            out[rel] = "dir";
        else
            out[rel] = "file: " + ReadFile(e.path().string());
    }
    return out;
}

// The links below dir by their text, with the path of each.
std::map<std::string, std::string> LinksByText(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : stdfs::recursive_directory_iterator(dir))
        if (e.is_symlink()) out[LinkText(e.path().string())] = e.path().string();
    return out;
}

class SymbolicLinkTest : public ::testing::Test {
protected:
    // A site whose pages are reached through links of every form, renamed for DOS with
    // Windows extensions; outside holds a page the site links to.
    void WriteSite() {
        site = top.Mkdir("site");
        top.Write("site/index.html", "<a href=\"about.html\">about</a>\n");
        top.Write("site/about.html.en", "about, in English\n");
        top.Write("site/Manual Pages/intro page.html", "intro\n");
        top.Write("outside/x.html", "not in the site\n");
        Link("about.html.en", "site/about.html");
        Link("../about.html.en", "site/Manual Pages/up.html");
        Link(site + "/Manual Pages/./intro page.html", "site/abs.html");
        Link(top / "outside/x.html", "site/out.html");
        Link("missing.html", "site/dead.html");
        Link("Manual Pages", "site/mdir");
    }
    void Link(const std::string& text, const std::string& rel) {
        ASSERT_EQ(::symlink(text.c_str(), (top / rel).c_str()), 0);
    }
    void Run(CFileSystem& fs = RealFileSystem()) {
        ui.settings = DefaultSettings(site, site + "/index.html");
        ui.settings.Target = TFS_DOS_FAT;
        ui.settings.RenameHtml = WEB_EXT_WINDOWS;
        ui.settings.Rename = true;
        ui.settings.ReportExternalRefs = false;
        ui.settings.DeriveUpdateLinks();
        doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
    }
    std::string Report() const { return Lf(MaskDate(ui.viewText)); }

    CTempDir top, tmp;
    std::string site;
    CScriptedUi ui;
    std::unique_ptr<CTessaryDoc> doc;
};

}  // namespace

TEST_F(SymbolicLinkTest, LinksFollowTheirRenamedTargetsAndUndoGivesBackTheOldTexts) {
    WriteSite();
    const auto before = Snapshot(top.Path());
    Run();
    ASSERT_NE(doc->m_dwRunStatus & RS_RENAMING, 0u);
    EXPECT_FALSE(Exists(site + "/Manual Pages"));

    // Every link leads to the file it led to, and each form is kept.
    std::map<std::string, std::string> links = LinksByText(site);
    ASSERT_EQ(links.size(), 6u);
    std::map<std::string, std::string> reached;
    for (const auto& [text, path] : links) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) reached[text] = ReadFile(path);
    }
    EXPECT_EQ(reached.size(), 5u);  // all but the dangling one
    EXPECT_EQ(links.count("missing.html"), 1u);
    EXPECT_EQ(reached[top / "outside/x.html"], "not in the site\n");
    std::string about, up, abs, dir;
    for (const auto& [text, path] : links) {
        if (reached[text] == "about, in English\n" && text.find('/') == std::string::npos)
            about = text;
        else if (reached[text] == "about, in English\n")
            up = text;
        else if (reached[text] == "intro\n")
            abs = text;
        else if (stdfs::is_directory(path))
            dir = text;
    }
    EXPECT_NE(about, "about.html.en");
    EXPECT_EQ(up, "../" + about);
    ASSERT_EQ(abs.substr(0, site.size() + 1), site + "/");
    EXPECT_NE(abs.find("/./"), std::string::npos);
    EXPECT_EQ(abs.find("Manual Pages"), std::string::npos);
    EXPECT_NE(dir, "Manual Pages");
    EXPECT_EQ(abs.substr(site.size() + 1, dir.size()), dir);
    EXPECT_TRUE(stdfs::exists(site + "/mdir/" + BaseName(abs)));

    // The section lists exactly the four links given a new text, in the rename lines' form.
    const std::string section = ReportSection(Report(), "SYMBOLIC LINKS RE-POINTED:");
    std::string expected;
    for (const std::string& text : {about, up, abs, dir}) {
        const std::string line = PadRight(text, 36) + "    " + links[text] + "\n";
        EXPECT_NE(section.find(line), std::string::npos) << line << "in\n" << section;
        expected += line;
    }
    EXPECT_EQ(section.size(), expected.size() + 3) << section;

    doc->UndoLast();
    EXPECT_EQ(Snapshot(top.Path()), before);
    EXPECT_NE(ReportSection(Report(), "SYMBOLIC LINKS RE-POINTED:")
                  .find(PadRight("about.html.en", 36) + "    " + site + "/about.html\n"),
              std::string::npos)
        << Report();
}

TEST_F(SymbolicLinkTest, ValidatingOnlyLeavesEveryLinkAlone) {
    WriteSite();
    const auto before = Snapshot(top.Path());
    ui.settings = DefaultSettings(site, site + "/index.html");
    ui.settings.Target = TFS_DOS_FAT;
    ui.settings.ReportExternalRefs = false;
    doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_EQ(Snapshot(top.Path()), before);
    EXPECT_EQ(Report().find("SYMBOLIC LINKS RE-POINTED:"), std::string::npos);
}

TEST_F(SymbolicLinkTest, ALinkThatCannotBeRepointedStaysAndIsReported) {
    WriteSite();
    const auto before = Snapshot(top.Path());
    CFaultyFileSystem fs;
    fs.FailFrom(Op::ReplaceLink, 1, "/UP.HTM", EACCES);
    fs.FailOn(Op::ReadLink, 1, "/ABS.HTM");
    Run(fs);
    ASSERT_EQ(fs.Calls(Op::ReplaceLink), 3);
    // The link kept its text in its renamed directory; the others were re-pointed.
    std::map<std::string, std::string> links = LinksByText(site);
    ASSERT_EQ(links.count("../about.html.en"), 1u) << Report();
    const std::string up = links["../about.html.en"];
    EXPECT_EQ(links.count("about.html.en"), 0u);
    std::string about;
    for (const auto& [text, path] : links)
        if (text.find('/') == std::string::npos && ReadFile(path) == "about, in English\n")
            about = text;
    ASSERT_FALSE(about.empty());
    const std::string report = Report();
    EXPECT_NE(report.find(PadRight(up, 36) + "    " +
                          FormatMessage(IDS_LINK_REPOINT_FAILED, "../" + about) + "\n"),
              std::string::npos)
        << report;
    const std::string section = ReportSection(report, "SYMBOLIC LINKS RE-POINTED:");
    EXPECT_EQ(section.find(up), std::string::npos) << section;
    // A link whose text cannot be read is left alone, and said so.
    EXPECT_EQ(LinkText(site + "/ABS.HTM"), site + "/Manual Pages/./intro page.html");
    EXPECT_NE(report.find(PadRight(site + "/ABS.HTM", 36) + "    " +
                          LoadString(IDS_LINK_READ_FAILED) + "\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(section.find("ABS.HTM"), std::string::npos) << section;
    EXPECT_NE(report.find("There were file permissions errors or file I/O errors."),
              std::string::npos);

    // Undo takes back only what was done, and keeps a link someone changed since the run.
    ASSERT_EQ(::unlink((site + "/mdir").c_str()), 0);
    ASSERT_EQ(::symlink("by hand", (site + "/mdir").c_str()), 0);
    fs.Clear();
    doc->UndoLast();
    auto expected = before;
    expected["site/mdir"] = "link -> by hand";
    EXPECT_EQ(Snapshot(top.Path()), expected);
    EXPECT_NE(Report().find(PadRight(site + "/mdir", 36) + "    " +
                            LoadString(IDS_LINK_CHANGED_KEPT) + "\n"),
              std::string::npos)
        << Report();
}

}  // namespace ts::test
