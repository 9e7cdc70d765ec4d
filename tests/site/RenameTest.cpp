#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/Rename.h"
#include "site/SiteFixture.h"
#include "support/FaultyFileSystem.h"

namespace ts::test {
namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::string StatusLine(const std::string& newName, const std::string& origPath) {
    return PadRight(newName, 36) + "    " + origPath + "\n";
}

TEST(Rename, NeverReplacesAnEntryThatAppearedMeanwhile) {
    CSiteFixture f;
    f.site.Write("a b.htm", "mine");
    f.site.Write("c d.htm", "other");
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 2);
    f.site.Write("AB.HTM", "someone else's");
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 1);  // the run goes on with the next entry
    EXPECT_EQ(ReadFile(f.site / "AB.HTM"), "someone else's");
    EXPECT_EQ(ReadFile(f.site / "a b.htm"), "mine");
    EXPECT_EQ(f.Node("a b.htm")->m_strPath, f.site / "a b.htm");
    EXPECT_EQ(f.Errors(),
              FormatMessage(IDS_RENAME_FAILED, f.site / "a b.htm", f.site / "AB.HTM") + "\n");
    EXPECT_EQ(f.Status(), StatusLine("CD.HTM", f.site / "c d.htm"));
    EXPECT_EQ(ReadFile(f.site / "CD.HTM"), "other");
}

TEST(Rename, ChangeOfCaseIsOneRenameReportedAndLoggedOnce) {
    CSiteFixture f;
    f.site.Write("index.htm", "x");
    std::string forty(36, 'l');
    forty += ".htm";
    f.site.Write(forty, "y");
    f.Scan(true);
    ASSERT_EQ(f.CheckNames(TFS_UPPER), 2);
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(true, &autoReadOnly), 2);
    f.top->CloseAllLogs();
    EXPECT_EQ(ListNames(f.site.Path()), "INDEX.HTM\n" + ToUpper(forty) + "\nRENAME.LOG\n");
    EXPECT_EQ(f.Status(), StatusLine("INDEX.HTM", f.site / "index.htm") +
                              StatusLine(ToUpper(forty), f.site / forty));
    // A 40-character name stands in full, then four spaces and the path as scanned.
    EXPECT_EQ(ReadFile(f.site / "RENAME.LOG"), PadRight("INDEX.HTM", 36) + "    " +
                                                   f.site / "index.htm" + "\r\n" + ToUpper(forty) +
                                                   "    " + f.site / forty + "\r\n");
    EXPECT_EQ(f.Errors(), "");
}

TEST(Rename, ReadOnlyEntriesAsTheUserDecides) {
    CSiteFixture f;
    for (const char* n : {"a 1.txt", "b 2.txt", "c 3.txt", "d 4.txt"})
        ::chmod(f.site.Write(n, "x").c_str(), 0444);
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 4);

    // Asked once: Yes makes the first writable, No to All skips the rest without asking.
    f.ui.readOnlyAnswers = {READONLY_YES, READONLY_NO_TO_ALL};
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 1);
    EXPECT_EQ(autoReadOnly, 1);
    EXPECT_EQ(
        f.ui.readOnlyQuestions,
        (std::vector<std::string>{FormatMessage(IDS_READ_ONLY_QUESTION, f.site / "a 1.txt"),
                                  FormatMessage(IDS_READ_ONLY_QUESTION, f.site / "b 2.txt")}));
    EXPECT_EQ(ModeOf(f.site / "A1.TXT"), 0644u);
    EXPECT_EQ(ModeOf(f.site / "c 3.txt"), 0444u);
    EXPECT_EQ(f.Errors(), ErrorLine(f.site / "a 1.txt", LoadString(IDS_READ_ONLY_CONVERTED)) +
                              ErrorLine(f.site / "b 2.txt", LoadString(IDS_READ_ONLY_SKIPPED)) +
                              ErrorLine(f.site / "c 3.txt", LoadString(IDS_READ_ONLY_SKIPPED)) +
                              ErrorLine(f.site / "d 4.txt", LoadString(IDS_READ_ONLY_SKIPPED)));
}

TEST(Rename, ReadOnlyAnswersHoldForTheRun) {
    CSiteFixture f;
    for (const char* n : {"a 1.txt", "b 2.txt", "c 3.txt"})
        ::chmod(f.site.Write(n, "x").c_str(), 0444);
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 3);
    // Closing the question counts as Yes for that entry only; Yes to All answers the rest.
    f.ui.readOnlyAnswers = {READONLY_CLOSED, READONLY_YES_TO_ALL};
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 3);
    EXPECT_EQ(autoReadOnly, 2);
    EXPECT_EQ(f.ui.readOnlyQuestions.size(), 2u);
    EXPECT_EQ(ListNames(f.site.Path()), "A1.TXT\nB2.TXT\nC3.TXT\n");
}

TEST(Rename, ReadOnlyEntryInsideARenamedDirectory) {
    CSiteFixture f;
    ::chmod(f.site.Write("Old Dir/r o.txt", "x").c_str(), 0444);
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 2);
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 2);
    // The question and the change of permissions name the entry where it is now.
    ASSERT_EQ(f.ui.readOnlyQuestions.size(), 1u);
    EXPECT_EQ(f.ui.readOnlyQuestions[0],
              FormatMessage(IDS_READ_ONLY_QUESTION, f.site / "OLDDIR/r o.txt"));
    EXPECT_EQ(f.Errors(),
              ErrorLine(f.site / "OLDDIR/r o.txt", LoadString(IDS_READ_ONLY_CONVERTED)));
    EXPECT_EQ(ModeOf(f.site / "OLDDIR/RO.TXT"), 0644u);
}

TEST(Rename, LinkedReadOnlyFileIsNeverMadeWritable) {
    CSiteFixture f;
    CTempDir outside;
    std::string target = outside.Write("shared.txt", "x");
    ::chmod(target.c_str(), 0444);
    ASSERT_EQ(::symlink(target.c_str(), (f.site / "link one.txt").c_str()), 0);
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 1);
    ReadOnlyChoice autoReadOnly = RO_CONVERT;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 0);
    EXPECT_EQ(ModeOf(target), 0444u);
    EXPECT_TRUE(Exists(f.site / "link one.txt"));
    EXPECT_EQ(f.Errors(), ErrorLine(f.site / "link one.txt", LoadString(IDS_LINKED_FILE_SKIPPED)));
}

TEST(Rename, FailuresAreReportedAndTheRunGoesOn) {
    CFaultyFileSystem faulty;
    CSiteFixture f(faulty);
    ::chmod(f.site.Write("r o.txt", "x").c_str(), 0444);
    f.site.Write("sub dir/x y.txt", "y");
    faulty.FailFrom(Op::OpenAppend, 1, "RENAME.LOG");
    f.Scan(true);
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 3);
    faulty.FailOn(Op::SetMode, 1, "r o.txt", EPERM);
    ReadOnlyChoice autoReadOnly = RO_CONVERT;
    EXPECT_EQ(f.RenameAll(true, &autoReadOnly), 2);
    // The log of each directory that cannot have one is announced once, at its first line.
    EXPECT_EQ(f.ui.messages,
              (std::vector<std::string>{FormatMessage(IDS_LOG_CREATE_FAILED, f.site.Path()),
                                        FormatMessage(IDS_LOG_CREATE_FAILED, f.site / "SUBDIR")}));
    EXPECT_EQ(f.Errors(), ErrorLine(f.site / "r o.txt", LoadString(IDS_READ_ONLY_FAILED)));
    EXPECT_EQ(f.Status(), StatusLine("SUBDIR", f.site / "sub dir") +
                              StatusLine("XY.TXT", f.site / "sub dir/x y.txt"));
    f.top->CloseAllLogs();
    EXPECT_FALSE(Exists(f.site / "RENAME.LOG"));
    EXPECT_FALSE(Exists(f.site / "SUBDIR/RENAME.LOG"));
}

TEST(Rename, UndoLeavesAloneWhatWasNotRenamed) {
    CSiteFixture f;
    f.site.Write("Old Dir/a b.txt", "mine");
    f.site.Write("Old Dir/c d.txt", "x");
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 3);
    f.site.Write("Old Dir/AB.TXT", "intruder");
    ReadOnlyChoice autoReadOnly = RO_ASK;
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 2);
    // a b.txt moved with its directory but kept its name: nothing to undo for it.
    EXPECT_FALSE(PrepareUndo(*f.Node("Old Dir/a b.txt")));
    EXPECT_TRUE(PrepareUndo(*f.Node("Old Dir")));
    EXPECT_TRUE(PrepareUndo(*f.Node("Old Dir/c d.txt")));
    EXPECT_EQ(f.Node("Old Dir/c d.txt")->m_strNewName, "c d.txt");
    EXPECT_EQ(f.Node("Old Dir/c d.txt")->OrigPath(), f.site / "OLDDIR/CD.TXT");
    std::string before = f.Errors();
    EXPECT_EQ(f.RenameAll(false, &autoReadOnly), 2);
    EXPECT_EQ(f.Errors(), before);
    EXPECT_EQ(TreeListing(f.site.Path(), true),
              "Old Dir/\nOld Dir/AB.TXT = intruder\nOld Dir/a b.txt = mine\nOld Dir/c d.txt = x\n");
}

}  // namespace
}  // namespace ts::test
