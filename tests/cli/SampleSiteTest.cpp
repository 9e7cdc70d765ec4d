// The command line with default settings on a copy of the bundled sample site: the whole report
// is compared with tests/cli/expected/sample_default.txt. When a change to the program changes
// the report on purpose, regenerate the file and review the difference:
//
//   TESSARY_UPDATE_EXPECTED=1 build/tests/tessary_tests --gtest_filter='SampleSite.*'
//   git diff tests/cli/expected
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "cli/Cli.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "support/TextDiff.h"

namespace ts::test {
namespace {

namespace fs = std::filesystem;

const std::string kSourceDir = TESSARY_SOURCE_DIR;
const std::string kSampleSite = kSourceDir + "/examples/site";
const std::string kExpectedReport = kSourceDir + "/tests/cli/expected/sample_default.txt";
const std::string kSitePlaceholder = "<SITE>";

// Sets an environment variable for the life of the object, then puts the old value back.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~CScopedEnv() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string ReadBack(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

// Line ends that are not CR LF: a lone LF, or a CR not followed by LF (CR CR LF counts).
int StrayLineEnds(const std::string& text) {
    int stray = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ++stray;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) ++stray;
    }
    return stray;
}

}  // namespace

TEST(SampleSite, DefaultRunReportsWhatTheSiteHolds) {
    CTempDir tmp, reports, saved;
    // Error lines pad paths to 36 columns and syntax-error lines to 26. A copy whose own path
    // is longer than that makes every path overflow its field, so the report does not depend
    // on where the temporary directory is.
    std::string name = "sample-site";
    if (tmp.Path().size() + 1 + name.size() < 40)
        name.append(40 - tmp.Path().size() - 1 - name.size(), '-');
    const std::string site = tmp / name;
    fs::copy(kSampleSite, site, fs::copy_options::recursive);
    // Neither the user's profile nor other programs' temporary files may change the run.
    CScopedEnv profile("TESSARY_PROFILE", tmp / "tessary.ini");
    CScopedEnv temp("TMP", reports.Path());

    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(in && out && err);
    CliStreams io;
    io.in = in;
    io.out = out;
    io.err = err;
    // Standard output has LF line ends; the report file keeps the saved-report form.
    const std::string reportFile = saved / "report.tsy";
    const char* argv[] = {"tessary-cli", "--report", reportFile.c_str(), site.c_str()};
    int status = RunCli(4, argv, io, RealFileSystem());
    std::string report = ReadFile(reportFile), errors = ReadBack(err);
    EXPECT_EQ(ReadBack(out), "");
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);

    EXPECT_EQ(status, EXIT_PROBLEMS);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(StrayLineEnds(report), 0) << "every line of a report ends in CR LF";
    std::string actual = ReplaceAll(MaskDate(Lf(report)), site, kSitePlaceholder);

    if (const char* update = std::getenv("TESSARY_UPDATE_EXPECTED"); update && *update == '1') {
        std::ofstream(kExpectedReport, std::ios::binary | std::ios::trunc) << actual;
        GTEST_SKIP() << "wrote " << kExpectedReport << "; review it with git diff";
    }
    std::string expected = ReadFile(kExpectedReport);
    ASSERT_FALSE(expected.empty())
        << kExpectedReport << " is missing; run with TESSARY_UPDATE_EXPECTED=1 to make it";
    EXPECT_TRUE(expected == actual)
        << "The report differs from " << kExpectedReport << " (- expected, + actual):\n"
        << LineDiff(expected, actual)
        << "If the change is intended, regenerate the file with TESSARY_UPDATE_EXPECTED=1 and "
           "review it with git diff.";

    // A default run only reads: the copy is unchanged but for the page of external URLs, and
    // the temporary reports are gone.
    EXPECT_TRUE(Exists(site + "/report_of_external_refs.htm"));
    fs::remove(site + "/report_of_external_refs.htm");
    EXPECT_EQ(TreeListing(site, true), TreeListing(kSampleSite, true));
    EXPECT_EQ(ListNames(reports.Path()), "");
}

}  // namespace ts::test
