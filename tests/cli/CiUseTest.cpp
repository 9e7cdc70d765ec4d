// tessary-cli as a CI job uses it, through a real shell: a normal site with hidden files exits
// 0, the report goes through a pipeline to grep with LF line ends, a full disk is exit 3 with
// its cause, names left only suggested are a problem, and a bad command line shows the usage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/EnvVar.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

struct Shell {
    int code;
    std::string out;
};

// Runs a command line in sh with $CLI naming the program; its exit status and standard output
// (standard error joined to it).
Shell RunShell(const std::string& command) {
    const std::string line = "CLI='" + std::string(TESSARY_CLI_PATH) + "'; " + command + " 2>&1";
    std::FILE* p = ::popen(line.c_str(), "r");
    Shell r{-1, {}};
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(CiUse, ExitStatusesAndPipelinesAsACiJobSeesThem) {
    CTempDir home, site;
    CEnvVar profile("TESSARY_PROFILE", (home / "tessary.ini").c_str());
    site.Write("index.html", "<a href=\"page.html\">p</a>\n");
    site.Write("page.html", "<a href=\"index.html\">home</a>\n");
    site.Write(".htaccess", "Options -Indexes\n");
    site.Write(".buildinfo", "config: 0\n");
    const std::string dir = "'" + site.Path() + "'";

    // Hidden files are skipped and listed, but they are no problem.
    Shell r = RunShell("\"$CLI\" " + dir);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("/.htaccess "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("hidden file was skipped"), std::string::npos) << r.out;

    // A pipeline sees LF line ends: grep's $ matches at the end of a report line.
    r = RunShell("\"$CLI\" --report - " + dir + " | grep -c '^All local links are resolved!$'");
    EXPECT_EQ(r.out, "1\n");
    r = RunShell("\"$CLI\" --quiet " + dir + "; echo \"status $?\"");
    EXPECT_EQ(r.out, "status 0\n");
    // Progress in a log: one plain line per pass, no terminal controls.
    r = RunShell("{ \"$CLI\" --progress " + dir + " >/dev/null; }");
    EXPECT_NE(r.out.find(": Checking URL Links\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find_first_of("\r\033"), std::string::npos) << r.out;

    // A report that cannot be written is an error with its cause, not a silent exit 1.
    r = RunShell("{ \"$CLI\" " + dir + " > /dev/full; }");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.out.find("cannot write the report to standard output: No space left on device"),
              std::string::npos)
        << r.out;
    r = RunShell("\"$CLI\" --report /dev/full " + dir);
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.out.find("\"/dev/full\": No space left on device"), std::string::npos) << r.out;

    // Names a DOS target cannot hold, only suggested: a problem to fix before publishing.
    site.Write("Long Page Name.html", "x\n");
    r = RunShell("\"$CLI\" --target dos --no-links " + dir);
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(Exists(site / "Long Page Name.html"));

    // The version, and the usage on a missing or an extra argument.
    r = RunShell("\"$CLI\" --version");
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.starts_with("tessary-cli ")) << r.out;
    for (const std::string& args : {std::string(), dir + " " + dir}) {
        r = RunShell("\"$CLI\" " + args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.out.find("Usage: tessary-cli [OPTIONS] DIRECTORY"), std::string::npos) << r.out;
    }
}

// 516 broken links to 13 missing files read as 13 things to fix: each missing file once, with
// the number of links to it, most first, after the report's sections.
TEST(CiUse, BrokenLinksAreGroupedByTheFileTheyMiss) {
    CTempDir home, site;
    CEnvVar profile("TESSARY_PROFILE", (home / "tessary.ini").c_str());
    // Missing file k gets 16 + 4 (12 - k) links, one less for the last four: 516 in all,
    // spread over 43 pages.
    std::vector<std::string> pages(43);
    int links = 0;
    for (int k = 0; k < 13; ++k) {
        const int count = 16 + 4 * (12 - k) - (k >= 9 ? 1 : 0);
        for (int i = 0; i < count; ++i, ++links)
            pages[static_cast<size_t>((k * 7 + i) % 43)] +=
                "<a href=\"gone/missing" + std::to_string(k) + ".html\">x</a>\n";
    }
    std::string index;
    for (size_t page = 0; page < pages.size(); ++page) {
        const std::string name = "page" + std::to_string(page) + ".html";
        index += "<a href=\"" + name + "\">p</a>\n";
        site.Write(name, pages[page]);
    }
    site.Write("index.html", index);
    ASSERT_EQ(links, 516);
    const Shell r = RunShell("\"$CLI\" --no-external '" + site.Path() + "'");
    EXPECT_EQ(r.code, 1);
    const size_t at = r.out.find("MISSING TARGETS:\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::string block = r.out.substr(at);
    block = block.substr(0, block.find("\n\n\n"));
    int groups = 0, total = 0, last = 1 << 30;
    for (size_t line = block.find(site.Path()); line != std::string::npos;
         line = block.find(site.Path(), line + 1)) {
        const size_t end = block.find('\n', line);
        const std::string text = block.substr(line, end - line);
        const int n = std::atoi(text.substr(text.rfind("    ") + 4).c_str());
        EXPECT_LE(n, last) << "most-referenced first:\n" << block;
        last = n;
        total += n;
        ++groups;
        EXPECT_NE(text.find("/gone/missing"), std::string::npos) << text;
    }
    EXPECT_EQ(groups, 13) << block;
    EXPECT_EQ(total, 516) << block;
}

}  // namespace ts::test
