// The platform services the engine relies on: where temporary files and the profile go,
// moves that never replace, the read-only test, the typed directory made absolute, and
// equality without case.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/WizardRules.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/EnvVar.h"
#include "support/TempDir.h"

namespace ts::test {

TEST(Platform, TemporaryDirectoryFallsBackWhenTmpNamesNoDirectory) {
    CTempDir a, b;
    std::string file = a.Write("file", "x");
    {
        CEnvVar tmp("TMP", (a.Path() + "/").c_str()), tmpdir("TMPDIR", b.Path().c_str());
        EXPECT_EQ(TempDirectory(), a.Path());
    }
    for (const std::string& bad : {a / "missing", file, std::string()}) {
        CEnvVar tmp("TMP", bad.c_str()), tmpdir("TMPDIR", b.Path().c_str());
        EXPECT_EQ(TempDirectory(), b.Path()) << bad;
    }
    CEnvVar tmp("TMP", nullptr), tmpdir("TMPDIR", (a / "missing").c_str());
    EXPECT_EQ(TempDirectory(), "/tmp");
}

TEST(Platform, ProfileLocation) {
    CEnvVar home("HOME", "/home/ann");
    {
        CEnvVar p("TESSARY_PROFILE", "/etc/my.ini"), x("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(ProfilePath(), "/etc/my.ini");
    }
    CEnvVar p("TESSARY_PROFILE", nullptr);
    {
        CEnvVar x("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(ProfilePath(), "/cfg/tessary/tessary.ini");
    }
    CEnvVar x("XDG_CONFIG_HOME", "relative/is/ignored");
    EXPECT_EQ(ProfilePath(), "/home/ann/.config/tessary/tessary.ini");
}

TEST(Platform, MovesNeverReplaceAndReadOnlyComesFromTheModeBits) {
    CTempDir d;
    std::string from = d.Write("from", "new");
    std::string to = d.Write("to", "old");
    CFileSystem& fs = RealFileSystem();
    EXPECT_FALSE(MoveFileNoReplace(fs, from, to));
    EXPECT_EQ(ReadFile(to), "old");
    EXPECT_EQ(ReadFile(from), "new");
    EXPECT_TRUE(MoveFileNoReplace(fs, from, d / "free"));
    EXPECT_FALSE(Exists(from));
    EXPECT_EQ(ReadFile(d / "free"), "new");

    // Even for root, a file without its owner's write bit is read-only.
    ::chmod(to.c_str(), 0444);
    FileStat st;
    ASSERT_TRUE(fs.Stat(to, st));
    EXPECT_TRUE(st.readOnly);
    EXPECT_EQ(st.mode, 0444u);
    ::chmod(to.c_str(), 0644);
    ASSERT_TRUE(fs.Stat(to, st));
    EXPECT_FALSE(st.readOnly);
}

TEST(Platform, TypedDirectoriesAreMadeAbsolute) {
    std::vector<char> buf(4096);
    ASSERT_NE(::getcwd(buf.data(), buf.size()), nullptr);
    std::string cwd = buf.data();
    EXPECT_EQ(NormalizeDirectory("site"), cwd + "/site");
    EXPECT_EQ(NormalizeDirectory("./a/./b/../c/"), cwd + "/a/c");
    EXPECT_EQ(NormalizeDirectory("/srv//www/"), "/srv/www");
    EXPECT_EQ(NormalizeDirectory("/"), "/");
    EXPECT_EQ(NormalizeDirectory("/.."), "/");
}

// Equality without case: ASCII in place, other letters folded, punctuation never.
TEST(Platform, EqualityWithoutCaseFoldsLettersOnly) {
    EXPECT_TRUE(EqualsNoCase("Index.HTML", "index.html"));
    EXPECT_FALSE(EqualsNoCase("a[b", "a{b"));  // they differ in the bit that case flips
    EXPECT_FALSE(EqualsNoCase("a@", "a`"));
    EXPECT_TRUE(EqualsNoCase("Docs/ÉTÉ.htm", "docs/été.HTM"));
    EXPECT_FALSE(EqualsNoCase("Docs/été.htm", "docs/ete.htm"));
    EXPECT_TRUE(EqualsNoCase("x\xff", "X\xff"));
    EXPECT_FALSE(EqualsNoCase("page", "pages"));
    EXPECT_TRUE(EqualsNoCase("", ""));
}

}  // namespace ts::test
