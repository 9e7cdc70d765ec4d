// Runs of tessary-cli on inputs of extreme size and shape. Each must complete without a crash,
// within a bound of memory that does not grow with what streams through the program, and with
// the report's decisive lines right. Slow: these carry the CTest label "stress".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/ReportStream.h"
#include "platform/Text.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

struct CliRun {
    int code = -1;
    double seconds = 0;
    long peakMb = 0;     // the largest resident set of the process
    std::string report;  // with LF line ends
};

// Runs tessary-cli with args in directory cwd (with an empty profile), the final report going to
// a file; measures the time and the peak resident set of that one process.
CliRun RunCli(const std::string& name, std::vector<std::string> args, const std::string& work,
              const std::string& cwd = std::string()) {
    std::string reportPath = work + "/report.txt", peakPath = work + "/peak.txt";
    args.insert(args.begin(),
                {TESSARY_PEAK_RUN_PATH, peakPath, TESSARY_CLI_PATH, "--report", reportPath});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string profile = work + "/no-profile.ini";
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::setenv("TESSARY_PROFILE", profile.c_str(), 1);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long peakKb = 0;
    if (FILE* f = std::fopen(peakPath.c_str(), "r")) {
        if (std::fscanf(f, "%d %ld", &run.code, &peakKb) != 2) run.code = -1;
        std::fclose(f);
    }
    run.peakMb = peakKb / 1024;
    std::remove(peakPath.c_str());
    run.report = Lf(ReadFile(reportPath));
    std::remove(reportPath.c_str());
    std::cout << Format("[stress] %-44s %8.2f s %6ld MB peak\n", name.c_str(), run.seconds,
                        run.peakMb);
    return run;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The lines of a report section (between its heading block and the next one).
std::vector<std::string> SectionLines(const std::string& report, const std::string& heading) {
    const std::string sep(80, '-');
    std::string block = sep + "\n" + heading + "\n" + sep + "\n";
    std::vector<std::string> lines;
    size_t at = report.find(block);
    if (at == std::string::npos) return lines;
    at += block.size();
    size_t end = report.find(sep + "\n", at);
    std::string body = report.substr(at, end == std::string::npos ? std::string::npos : end - at);
    size_t start = 0;
    while (start < body.size()) {
        size_t nl = body.find('\n', start);
        if (nl == std::string::npos) nl = body.size();
        if (nl > start) lines.push_back(body.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

// A file written in large blocks: size bytes of a repeated pattern.
void WritePattern(const std::string& path, const std::string& pattern, uint64_t size) {
    std::string block;
    while (block.size() < (1u << 20))
        block += pattern;
    block.resize((1u << 20) / pattern.size() * pattern.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (uint64_t left = size; left > 0;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
        ASSERT_EQ(std::fwrite(block.data(), 1, n, f), n);
        left -= n;
    }
    std::fclose(f);
}

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// A tree of 200,000 entries (the benchmark's generator): the names of every entry checked for
// ISO 9660. The counts line is the tree's, and every suggested name is valid and unique in its
// directory.
TEST(Stress, TreeOf200000Entries) {
    CTempDir work;
    std::string tree = work / "tree";
    std::string gen = std::string("python3 ") + TESSARY_SOURCE_DIR + "/bench/gen_tree.py '" + tree +
                      "' --entries 200000 --seed 1 >/dev/null 2>&1";
    if (std::system(gen.c_str()) != 0) GTEST_SKIP() << "python3 is needed to generate the tree";

    // The tree as it is on disk: each directory's names.
    std::map<std::string, std::vector<std::string>> names;
    size_t files = 0, dirs = 0;
    for (auto& e : stdfs::recursive_directory_iterator(tree)) {
        (e.is_directory() ? dirs : files)++;
        names[e.path().parent_path().string()].push_back(e.path().filename().string());
    }
    ASSERT_EQ(files + dirs, 200000u);

    CliRun run = RunCli("200,000 entries, ISO 9660 names",
                        {"--no-links", "--target", "iso9660", tree}, work.Path());
    // The new names are only suggested: names the target cannot hold are a problem.
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.report.starts_with("REPORT FROM SUCCESSFUL PASS\n"))
        << run.report.substr(0, 400);
    EXPECT_TRUE(Contains(run.report, Format("\n%zu files in %zu directories\n", files, dirs)));
    EXPECT_LT(run.peakMb, 500);  // about 1.5 KB an entry

    std::map<std::string, std::string> newNames;  // full path -> suggested name
    for (const std::string& line : SectionLines(run.report, "SUGGESTED NEW NAMES FOR FILES:")) {
        size_t at = line.find("    " + tree + "/");
        ASSERT_NE(at, std::string::npos) << line;
        std::string name = line.substr(0, at);
        name.erase(name.find_last_not_of(' ') + 1);
        newNames[line.substr(at + 4)] = name;
    }
    EXPECT_GT(newNames.size(), 150000u);
    const std::regex iso("[A-Z0-9_]{1,8}(\\.[A-Z0-9_]{0,3})?");
    size_t checked = 0;
    for (const auto& [dir, list] : names) {
        std::set<std::string> taken;
        for (const std::string& n : list) {
            auto it = newNames.find(dir + "/" + n);
            std::string final = it == newNames.end() ? n : it->second;
            if (it != newNames.end()) {
                EXPECT_TRUE(std::regex_match(final, iso)) << dir << "/" << n << " -> " << final;
                ++checked;
            }
            EXPECT_TRUE(taken.insert(FoldCase(final)).second)
                << "twice in " << dir << ": " << final;
        }
    }
    EXPECT_EQ(checked, newNames.size());
}

// One directory of 50,000 entries whose names all collide under the DOS rules, renamed with a
// log: the numbering stays linear, every name is unique, and the log has a line for each.
TEST(Stress, DirectoryOf50000Entries) {
    CTempDir work;
    std::string dir = work.Mkdir("big");
    for (int i = 1; i <= 50000; ++i)
        WriteText(Format("%s/longname%05d.html", dir.c_str(), i), Format("%d\n", i));

    CliRun run =
        RunCli("one directory of 50,000 entries, DOS rename",
               {"--no-links", "--target", "dos", "--rename", "--yes", "--logs", dir}, work.Path());
    EXPECT_EQ(run.code, 0);
    EXPECT_LT(run.seconds, 60);
    EXPECT_LT(run.peakMb, 150);
    EXPECT_TRUE(Contains(run.report, "\n50000 files in 0 directories\n"));

    std::vector<std::string> renamed = SectionLines(run.report, "RENAMED FILES:");
    ASSERT_EQ(renamed.size(), 50000u);
    EXPECT_EQ(renamed[0], PadRight("LONGNAME.HTM", 36) + "    " + dir + "/longname00001.html");
    EXPECT_EQ(renamed[1], PadRight("LONGNA~1.HTM", 36) + "    " + dir + "/longname00002.html");
    EXPECT_EQ(renamed[49999], PadRight("LO~49999.HTM", 36) + "    " + dir + "/longname50000.html");
    // Every file is under its reported name, whole.
    std::set<std::string> seen;
    for (const std::string& line : renamed) {
        std::string name = line.substr(0, line.find(' '));
        int n = std::stoi(line.substr(line.size() - 10, 5));
        ASSERT_TRUE(seen.insert(name).second) << name;
        ASSERT_EQ(ReadFile(dir + "/" + name), Format("%d\n", n)) << line;
    }
    std::string listing = ListNames(dir);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 50001);  // and RENAME.LOG
    std::string log = ReadFile(dir + "/RENAME.LOG");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 50000);
    EXPECT_TRUE(
        log.starts_with(PadRight("LONGNAME.HTM", 36) + "    " + dir + "/longname00001.html\r\n"));
}

// Directories nested 200 deep, each holding a CR LF text file: the entries whose path reaches
// 260 bytes are each reported with message 350 and left out, and the run goes on with the rest.
TEST(Stress, Nesting200DirectoriesDeep) {
    CTempDir work;
    std::string top = work / "nest";
    std::string path = top;
    // A level is scanned while its directory's path is short enough to be entered. Its
    // subdirectory "d" comes before "f.txt", so the deepest level reports first.
    std::vector<std::string> tooLong;
    size_t files = 0, dirs = 0;
    bool beyond = false;
    for (int level = 0; level < 200; ++level) {
        stdfs::create_directories(path);
        WriteText(path + "/f.txt", "a\r\nb\r\n");
        if (!beyond) {
            std::string file = path + "/f.txt", sub = path + "/d";
            if (file.size() >= 260)
                tooLong.insert(tooLong.begin(), file);
            else
                ++files;
            if (sub.size() >= 260) {
                tooLong.insert(tooLong.begin(), sub);
                beyond = true;
            } else {
                ++dirs;
            }
        }
        path += "/d";
    }
    ASSERT_TRUE(beyond);
    ASSERT_GE(tooLong.size(), 2u);

    CliRun run = RunCli("200 nested directories, line ends",
                        {"--no-links", "--line-ends", "unix", "--yes", top}, work.Path());
    EXPECT_EQ(run.code, 1);  // the file errors
    EXPECT_TRUE(run.report.starts_with("REPORT FROM SUCCESSFUL PASS\n"));
    EXPECT_TRUE(Contains(run.report, Format("\n%zu files in %zu directories\n", files, dirs)));
    std::string errors;
    for (const std::string& p : tooLong)
        errors += "Filename is too long: \"" + p + "\"\n";
    EXPECT_TRUE(Contains(run.report, "--------\n" + errors + "\n\n\n")) << run.report;
    EXPECT_EQ(SectionLines(run.report, "FILES WITH CHANGED LINE ENDINGS:").size(), files);
    EXPECT_EQ(ReadFile(top + "/d/d/d/f.txt"), "a\nb\n");
    EXPECT_LT(run.peakMb, 50);
}

// A text file of a little over 2 GiB (offsets beyond 31 bits) converted from CR LF to LF: the
// memory stays that of a small run, and every byte of the result is right.
TEST(Stress, TwoGibTextFileConvertedInFlatMemory) {
    CTempDir work;
    std::string dir = work.Mkdir("site");
    const std::string line = "The quick brown fox jumps over the lazy dog; 0123456789 text\r\n";
    const uint64_t lines = ((2ull << 30) + (1u << 20)) / line.size();
    std::string big = dir + "/big.txt";
    WritePattern(big, line, lines * line.size());
    WriteText(dir + "/small.txt", line + line);

    CliRun run = RunCli("2 GiB text file, CR LF to LF",
                        {"--no-links", "--line-ends", "unix", "--yes", dir}, work.Path());
    EXPECT_EQ(run.code, 0);
    EXPECT_LT(run.peakMb, 64);
    EXPECT_EQ(SectionLines(run.report, "FILES WITH CHANGED LINE ENDINGS:"),
              (std::vector<std::string>{"DOS  -> UNIX:  " + big,
                                        "DOS  -> UNIX:  " + dir + "/small.txt"}));

    // Every block of the result is the LF form of the pattern.
    const std::string lf = line.substr(0, line.size() - 2) + "\n";
    struct stat st;
    ASSERT_EQ(::stat(big.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), lines * lf.size());
    FILE* f = std::fopen(big.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string expected;
    while (expected.size() < (1u << 20))
        expected += lf;
    expected.resize((1u << 20) / lf.size() * lf.size());
    std::string got(expected.size(), '\0');
    uint64_t total = 0;
    bool same = true;
    for (;;) {
        size_t n = std::fread(got.data(), 1, got.size(), f);
        if (n == 0) break;
        same = same && got.compare(0, n, expected, 0, n) == 0;
        total += n;
    }
    std::fclose(f);
    EXPECT_TRUE(same);
    EXPECT_EQ(total, lines * lf.size());

    // Undo copies the original back from the journal in blocks: it too stays small, and the
    // file holds its CR LF pattern again.
    CliRun undo = RunCli("2 GiB text file, undone", {"--undo", dir}, work.Path());
    EXPECT_EQ(undo.code, 0);
    EXPECT_LT(undo.peakMb, 32);
    ASSERT_EQ(::stat(big.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), lines * line.size());
    f = std::fopen(big.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    expected.clear();
    while (expected.size() < (1u << 20))
        expected += line;
    expected.resize((1u << 20) / line.size() * line.size());
    got.assign(expected.size(), '\0');
    same = true;
    for (size_t n; (n = std::fread(got.data(), 1, got.size(), f)) > 0;)
        same = same && got.compare(0, n, expected, 0, n) == 0;
    std::fclose(f);
    EXPECT_TRUE(same);
    std::remove(big.c_str());
}

// An HTML page of 100 MB with one tag on each of its 4 million lines, a link on every 1,000th:
// it is read once without being held, and an error and a broken link near its end are reported
// at their exact lines.
TEST(Stress, HtmlFileOf100MbOneTagPerLine) {
    CTempDir work;
    std::string dir = work.Mkdir("site");
    std::string page = dir + "/index.htm";
    const int lineCount = 4'000'000;
    const int badTag = 3'000'001, brokenLink = 3'999'990;
    {
        FILE* f = std::fopen(page.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string block;
        for (int n = 1; n <= lineCount; ++n) {
            if (n == badTag)
                block += "<p class=\"open\"\n";
            else if (n == brokenLink)
                block += "<a href=\"nowhere.htm\">x</a>\n";
            else if (n % 1000 == 0)
                block += "<a href=\"t.htm\">t</a>\n";
            else
                block += "<p class=\"line-of-text\">\n";
            if (block.size() > (1u << 20)) {
                std::fwrite(block.data(), 1, block.size(), f);
                block.clear();
            }
        }
        std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    WriteText(dir + "/t.htm", "<p>t</p>\n");
    struct stat st;
    ASSERT_EQ(::stat(page.c_str(), &st), 0);
    ASSERT_GT(st.st_size, 70 << 20);

    CliRun run = RunCli("HTML page of 4 million tags", {"--home", "index.htm", dir}, work.Path());
    EXPECT_EQ(run.code, 1);  // a syntax error and a broken link
    EXPECT_LT(run.peakMb, 64);
    EXPECT_EQ(SectionLines(run.report, "HTML SYNTAX ERRORS:"),
              (std::vector<std::string>{Format(
                  "line %4d %-26s    HTML syntax error, no closing \">\"", badTag, page.c_str())}));
    EXPECT_EQ(SectionLines(run.report, "UNRESOLVED LOCAL LINKS:"),
              (std::vector<std::string>{"In file \"" + page + "\"",
                                        Format("   line %4d: nowhere.htm", brokenLink)}));
    EXPECT_EQ(SectionLines(run.report, "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:"),
              (std::vector<std::string>{"All files are used in the site hierarchy!"}));
    std::remove(page.c_str());
}

// 100,000 pages, each linking to the next one (in 100 directories): the walk from the first
// page goes 100,000 pages deep without running out of stack, and finds the one syntax error,
// the one broken link at the end of the chain and the one page nobody links to.
TEST(Stress, ChainOf100000LinkedPages) {
    CTempDir work;
    std::string site = work.Mkdir("site");
    const int pages = 100'000;
    auto rel = [](int n) { return Format("d%02d/p%06d.htm", n / 1000 % 100, n); };
    for (int d = 0; d < 100; ++d)
        stdfs::create_directories(Format("%s/d%02d", site.c_str(), d));
    for (int n = 0; n < pages; ++n) {
        std::string text = "<p>page</p>\n";
        text += n + 1 < pages ? "<a href=\"../" + rel(n + 1) + "\">next</a>\n"
                              : std::string("<a href=\"missing.htm\">next</a>\n");
        if (n == 50'000) text += "<p\n<p>\n";
        WriteText(site + "/" + rel(n), text);
    }
    WriteText(site + "/orphan.htm", "<p>nobody links here</p>\n");

    CliRun run = RunCli("chain of 100,000 linked pages", {"--home", rel(0), site}, work.Path());
    EXPECT_EQ(run.code, 1);
    EXPECT_LT(run.peakMb, 250);
    EXPECT_TRUE(Contains(run.report, Format("\n%d files in 100 directories\n", pages + 1)));
    EXPECT_EQ(
        SectionLines(run.report, "HTML SYNTAX ERRORS:"),
        (std::vector<std::string>{Format("line %4d %-26s    HTML syntax error, no closing \">\"", 3,
                                         (site + "/" + rel(50'000)).c_str())}));
    EXPECT_EQ(SectionLines(run.report, "UNRESOLVED LOCAL LINKS:"),
              (std::vector<std::string>{"In file \"" + site + "/" + rel(pages - 1) + "\"",
                                        "   line    2: missing.htm"}));
    EXPECT_EQ(SectionLines(run.report, "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:"),
              (std::vector<std::string>{site + "/orphan.htm"}));
}

// Names with a line feed, a tab, leading dashes, control characters and bytes that are not
// UTF-8, in a directory whose own name begins with a dash, given on the command line after
// "--": every entry gets a valid ISO 9660 name, every file keeps its content (converted), and the
// home page's links follow the renamed files.
TEST(Stress, NamesWithNewlinesTabsDashesAndInvalidUtf8) {
    CTempDir work;
    std::string top = work.Mkdir("-site");
    const std::vector<std::string> names = {"-rf",
                                            "--help",
                                            "a\nb.txt",
                                            "tab\there.txt",
                                            "\xff\xfe.txt",
                                            "ok\x80.htm",
                                            "\x01"
                                            "ctl.txt",
                                            "-dir/-x.txt",
                                            "\xc3\xa9t\xc3\xa9.txt",
                                            "dash-.txt"};
    const std::vector<std::string> hrefs = {
        "-rf",       "--help",     "a%0Ab.txt",   "tab%09here.txt",    "%FF%FE.txt",
        "ok%80.htm", "%01ctl.txt", "-dir/-x.txt", "%C3%A9t%C3%A9.txt", "dash-.txt"};
    std::string home = "<html>\r\n";
    for (size_t i = 0; i < names.size(); ++i) {
        stdfs::create_directories(stdfs::path(top + "/" + names[i]).parent_path());
        WriteText(top + "/" + names[i], Format("file %zu\r\nend\r\n", i));
        home += "<a href=\"" + hrefs[i] + "\">" + std::to_string(i) + "</a>\r\n";
    }
    WriteText(top + "/index.htm", home);

    CliRun run = RunCli("names with line feeds, tabs, dashes, bad UTF-8",
                        {"--target", "iso9660", "--rename", "--yes", "--line-ends", "unix",
                         "--home", "index.htm", "--", "-site"},
                        work.Path(), work.Path());
    EXPECT_EQ(run.code, 0) << run.report;
    EXPECT_TRUE(run.report.starts_with("REPORT FROM SUCCESSFUL PASS\n")) << run.report;
    EXPECT_EQ(SectionLines(run.report, "UNRESOLVED LOCAL LINKS:"),
              (std::vector<std::string>{"All local links are resolved!"}));

    // Where each file went: found by its content, named validly, reported exactly.
    const std::regex iso("[A-Z0-9_]{1,8}(\\.[A-Z0-9_]{0,3})?");
    std::map<std::string, std::string> byContent;
    for (auto& e : stdfs::recursive_directory_iterator(top)) {
        std::string rel = e.path().string().substr(top.size() + 1);
        if (e.path().filename() == "RENAME.LOG" ||
            e.path().filename() == "report_of_external_refs.htm")
            continue;
        EXPECT_TRUE(std::regex_match(e.path().filename().string(), iso)) << rel;
        if (e.is_regular_file()) byContent[ReadFile(e.path().string())] = rel;
    }
    const std::string& report = run.report;
    std::string page = ReadFile(top + "/INDEX.HTM");
    for (size_t i = 0; i < names.size(); ++i) {
        auto it = byContent.find(Format("file %zu\nend\n", i));
        ASSERT_NE(it, byContent.end()) << "lost: " << names[i];
        std::string now = it->second;
        std::string newName = BaseName(now);
        // Each rename is listed (a line feed in a name stays one in the report).
        std::string orig = top + "/" + names[i];
        EXPECT_TRUE(Contains(report, PadRight(newName, 36) + "    " + orig + "\n"))
            << names[i] << " -> " << now;
        // The home page links to the file under its new path.
        EXPECT_TRUE(Contains(page, "<a href=\"" + now + "\">" + std::to_string(i) + "</a>\n"))
            << now << "\n"
            << page;
    }
}

}  // namespace
}  // namespace ts::test
