// The page of external URLs a run writes is part of what undo gives back: a page the run
// made goes, a file of the same name it replaced comes back byte for byte, also after a run
// that only checked, and a page sent outside the site leaves the site untouched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

constexpr const char* kPage = "report_of_external_refs.htm";

// Every entry with its mode, modification time and content.
std::string Snapshot(const std::string& dir) {
    std::vector<std::string> lines;
    for (const auto& e : stdfs::recursive_directory_iterator(dir)) {
        const std::string path = e.path().string();
        struct stat st {};
        ::lstat(path.c_str(), &st);
        std::string line = path.substr(dir.size()) + " " + std::to_string(st.st_mode & 07777);
        if (S_ISREG(st.st_mode))
            line += " @" + std::to_string(st.st_mtim.tv_sec) + " = " + ReadFile(path);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

// Journals of this site's runs (the state folder is shared with other tests).
int JournalCount(const std::string& site) {
    int n = 0;
    const std::string runs = std::string(std::getenv("XDG_STATE_HOME")) + "/tessary/runs";
    if (!stdfs::exists(runs)) return 0;
    for (const auto& tree : stdfs::directory_iterator(runs))
        for (const auto& run : stdfs::directory_iterator(tree.path())) {
            const std::string head = ReadFile(run.path().string() + "/journal");
            n += head.substr(0, head.find('\n')).find("\t" + site + "\t") != std::string::npos;
        }
    return n;
}

// A site whose pages link outside it and to files a DOS rename changes; old times, so that
// a time the run touched shows.
std::string MakeSite(const CTempDir& root) {
    root.Write("site/index.html",
               "<a href=\"https://example.org/a\">a</a> <a href=\"Long Page Name.html\">l</a>\n");
    root.Write("site/Long Page Name.html", "<a href=\"http://example.net/b\">b</a>\n");
    const std::string site = root / "site";
    for (const char* name : {"index.html", "Long Page Name.html"}) {
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, (site + "/" + name).c_str(), times, 0);
    }
    return site;
}

void WriteUsersPage(const std::string& site) {
    const std::string path = site + "/" + kPage;
    ASSERT_TRUE(stdfs::exists(site));
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("my own notes\r\n\x01 binary tail", f);
    std::fclose(f);
    ::chmod(path.c_str(), 0640);
    const timespec times[2] = {{1100000000, 0}, {1100000000, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

const std::vector<std::string> kRename = {"--target", "dos", "--rename", "--yes"};

CliResult RunOn(std::vector<std::string> args, const std::string& site) {
    args.push_back(site);
    return RunCliWith(args, "", false);
}

}  // namespace

// A DOS rename writes the page; undo takes it away with the renames, and gives back a file of
// the user's that had the page's name, content, mode and time.
TEST(ExternalPageUndo, UndoGivesTheTreeBackWithOrWithoutAFileOfThatName) {
    for (bool usersFile : {false, true}) {
        SCOPED_TRACE(usersFile ? "user's file" : "no file");
        CTempDir root;
        const std::string site = MakeSite(root);
        if (usersFile) WriteUsersPage(site);
        const std::string before = Snapshot(site);
        CliResult run = RunOn(kRename, site);
        ASSERT_LE(run.code, 1) << run.out << run.err;
        const std::string page = ReadFile(site + "/" + kPage);
        EXPECT_NE(page.find("https://example.org/a"), std::string::npos) << page;
        EXPECT_NE(page.find("http://example.net/b"), std::string::npos) << page;
        EXPECT_TRUE(Exists(site + "/LONGPAGE.HTM")) << ListNames(site);
        EXPECT_EQ(ListNames(site).find(".ts_"), std::string::npos) << ListNames(site);
        CliResult undo = RunCliWith({"--undo", site}, "", false);
        EXPECT_EQ(undo.code, 0) << undo.out << undo.err;
        EXPECT_EQ(Snapshot(site), before);
        EXPECT_EQ(JournalCount(site), 0);
    }
}

// A run that only checks keeps no journal while its page takes a free name, as ever; when the
// name holds a file (the user's, or an earlier run's page), the run journals the file it
// replaces, and undo gives it back.
TEST(ExternalPageUndo, ACheckOnlyRunNeverDestroysAFileOfThatName) {
    CTempDir root;
    const std::string site = MakeSite(root);
    CliResult first = RunOn({"--yes"}, site);
    ASSERT_LE(first.code, 1) << first.out << first.err;
    EXPECT_NE(ReadFile(site + "/" + kPage).find("example.org"), std::string::npos);
    EXPECT_EQ(JournalCount(site), 0);

    WriteUsersPage(site);
    const std::string before = Snapshot(site);
    CliResult second = RunOn({"--yes"}, site);
    ASSERT_LE(second.code, 1) << second.out << second.err;
    EXPECT_NE(ReadFile(site + "/" + kPage).find("example.org"), std::string::npos);
    EXPECT_EQ(JournalCount(site), 1);
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 0) << undo.out << undo.err;
    EXPECT_EQ(Snapshot(site), before);
    EXPECT_EQ(JournalCount(site), 0);
}

// --external-page outside the site writes there, replacing what was there, and nothing in the
// site; inside the site, in a directory, it is left alone by the renames and undone with them.
TEST(ExternalPageUndo, ThePageGoesWhereTheUserSays) {
    CTempDir root;
    const std::string site = MakeSite(root);
    const std::string outside = root.Write("out/links.htm", "old");
    const std::string before = Snapshot(site);
    CliResult run = RunOn({"--yes", "--external-page", outside}, site);
    ASSERT_LE(run.code, 1) << run.out << run.err;
    EXPECT_EQ(Snapshot(site), before);
    EXPECT_NE(ReadFile(outside).find("http://example.net/b"), std::string::npos);
    EXPECT_EQ(ListNames(root / "out"), "links.htm\n");
    EXPECT_EQ(JournalCount(site), 0);

    root.Mkdir("site/Reports Dir");
    const std::string withDir = Snapshot(site);
    const std::string inside = site + "/Reports Dir/External Links.html";
    CliResult renamed =
        RunOn({"--target", "dos", "--rename", "--yes", "--external-page", inside}, site);
    ASSERT_LE(renamed.code, 1) << renamed.out << renamed.err;
    EXPECT_FALSE(Exists(site + "/" + kPage));
    EXPECT_NE(ReadFile(site + "/REPORTSD/External Links.html").find("example.org"),
              std::string::npos)
        << TreeListing(site, false) << renamed.out;
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 0) << undo.out << undo.err;
    EXPECT_EQ(Snapshot(site), withDir);
}

}  // namespace ts::test
