#include <gtest/gtest.h>

#include <cstdio>

#include "cli/Cli.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

std::string Slurp(std::FILE* f) {
    std::rewind(f);
    std::string s;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        s += static_cast<char>(c);
    return s;
}

struct CliRun {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ~CliRun() {
        std::fclose(in);
        std::fclose(out);
        std::fclose(err);
    }
    int Run(std::vector<std::string> args, const std::string& input, bool interactive) {
        std::fputs(input.c_str(), in);
        std::rewind(in);
        std::vector<const char*> argv{"tessary-cli"};
        for (auto& a : args)
            argv.push_back(a.c_str());
        CliStreams io{in, out, err, interactive, false};
        return RunCli(static_cast<int>(argv.size()), argv.data(), io, RealFileSystem());
    }
};

}  // namespace

// On a terminal the files to convert are listed and numbers leave files out.
TEST(LineEndsCli, TerminalListsFilesAndLeavesNumberedOnesOut) {
    CTempDir site;
    site.Write("a.txt", "a\r\n");
    site.Write("b/c.txt", "c\r\n");
    site.Write("d.txt", "d\n");
    CliRun cli;
    int rc = cli.Run({"--line-ends", "unix", "--no-links", site.Path()}, "2\ny\n", true);
    EXPECT_EQ(rc, 0);
    std::string err = Slurp(cli.err);
    EXPECT_NE(err.find("      1  /a.txt\n      2  /b/c.txt\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Left as they are: 2\n"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\n");
    EXPECT_EQ(ReadFile(site / "b/c.txt"), "c\r\n");
    std::string report = Lf(Slurp(cli.out));
    EXPECT_NE(report.find("NOT UPDATED BY USER REQUEST:\n-----"), std::string::npos);
    EXPECT_NE(report.find("DOS  -> UNIX:  " + (site / "a.txt") + "\n"), std::string::npos);
}

// Without a terminal nothing changes unless --yes is given; "n" on a terminal cancels.
TEST(LineEndsCli, ChangesNeedConfirmation) {
    CTempDir site;
    site.Write("a.txt", "a\r\n");
    {
        CliRun cli;
        EXPECT_EQ(cli.Run({"--line-ends", "mac", "--no-links", site.Path()}, "", false), 2);
        EXPECT_EQ(ReadFile(site / "a.txt"), "a\r\n");
    }
    {
        CliRun cli;
        EXPECT_EQ(cli.Run({"--line-ends", "mac", "--no-links", site.Path()}, "n\n", true), 3);
        EXPECT_EQ(ReadFile(site / "a.txt"), "a\r\n");
        EXPECT_NE(Slurp(cli.out).find("PARTIAL REPORT:  TERMINATED EARLY BY USER"),
                  std::string::npos);
    }
    {
        CliRun cli;
        EXPECT_EQ(cli.Run({"--line-ends", "mac", "--no-links", "--yes", site.Path()}, "", false),
                  0);
        EXPECT_EQ(ReadFile(site / "a.txt"), "a\r");
    }
}

}  // namespace ts::test
