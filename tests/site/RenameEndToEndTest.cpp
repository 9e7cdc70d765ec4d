#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <string>

#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"
#include "site/VerifyLists.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// The text between a heading block and the next section gap of a report.
std::string Section(const std::string& report, const std::string& heading) {
    std::string block = std::string(kSeparatorLine) + heading + "\n" + std::string(kSeparatorLine);
    size_t start = report.find(block);
    if (start == std::string::npos) return "<no section " + heading + ">";
    start += block.size();
    size_t end = report.find("\n\n\n", start);
    return report.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
}

std::string LogLine(const std::string& newName, const std::string& origPath) {
    return PadRight(newName, 36) + "    " + origPath + "\r\n";
}

// A tree with a renamed directory holding renamed entries, a directory with nothing to rename,
// a read-only file, an entry the user leaves alone and one whose new name is taken meanwhile.
TEST(RenameEndToEnd, RenamesLogsReportsAndUndoes) {
    CTempDir site, tmp;
    site.Write("index.html", "<html></html>\n");
    site.Write("a+b.htm", "1");
    site.Write("ab.htm", "2");
    site.Write("keep me.txt", "3");
    site.Write("clash one.htm", "4");
    std::string ro = site.Write("ro file.txt", "5");
    ::chmod(ro.c_str(), 0444);
    site.Write("Old Dir/my page#1.html", "6");
    site.Write("Old Dir/deeper dir/verylongname.html", "7");
    site.Write("Old Dir/deeper dir/KEEP.TXT", "8");
    site.Write("GOOD/FINE.TXT", "9");
    const std::string before = TreeListing(site.Path(), true);
    const std::string S = site.Path();

    CScriptedUi ui;
    ui.settings = DefaultSettings(S);
    ui.settings.Target = TFS_DOS_FAT;
    ui.settings.Rename = true;
    ui.settings.LogSubdirs = true;
    ui.settings.FilesOnly = true;
    ui.settings.AutoReadOnly = 1;
    ui.settings.DeriveUpdateLinks();
    std::string rowsSeen;
    ui.verifyFilenames = [&](CVerifyNameList& list) {
        EXPECT_EQ(list.Target(), TFS_DOS_FAT);
        VerifyChoices choices{true, {}};
        for (const VerifyNameRow& row : list.Rows()) {
            rowsSeen += row.strSuggested + " | " + row.strOriginal + "\n";
            choices.checked.push_back(row.pNode->Name() != "keep me.txt");
        }
        // Something takes a new name between the check and the renaming.
        site.Write("CLASHONE.HTM", "intruder");
        return choices;
    };
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    ASSERT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u);

    EXPECT_EQ(rowsSeen,
              "AB~1.HTM | /a+b.htm\n"
              "AB.HTM | /ab.htm\n"
              "CLASHONE.HTM | /clash one.htm\n"
              "INDEX.HTM | /index.html\n"
              "KEEPME.TXT | /keep me.txt\n"
              "OLDDIR | /Old Dir\n"
              "   DEEPERDI | /Old Dir/deeper dir\n"
              "      VERYLONG.HTM | /Old Dir/deeper dir/verylongname.html\n"
              "   MYPAGE#1.HTM | /Old Dir/my page#1.html\n"
              "ROFILE.TXT | /ro file.txt\n");

    EXPECT_EQ(TreeListing(S, false),
              "AB.HTM\nAB~1.HTM\nCLASHONE.HTM\nGOOD/\nGOOD/FINE.TXT\nINDEX.HTM\nOLDDIR/\n"
              "OLDDIR/DEEPERDI/\nOLDDIR/DEEPERDI/KEEP.TXT\nOLDDIR/DEEPERDI/RENAME.LOG\n"
              "OLDDIR/DEEPERDI/VERYLONG.HTM\nOLDDIR/MYPAGE#1.HTM\nOLDDIR/RENAME.LOG\nRENAME.LOG\n"
              "clash one.htm\nkeep me.txt\nro file.txt\n");
    EXPECT_EQ(ReadFile(S + "/CLASHONE.HTM"), "intruder");
    EXPECT_EQ(ReadFile(S + "/OLDDIR/DEEPERDI/VERYLONG.HTM"), "7");

    const std::string report = Lf(ui.viewText);
    EXPECT_EQ(Section(report, LoadString(IDS_NOT_RENAMED_HEADING)),
              PadRight("KEEPME.TXT", 36) + "    " + S + "/keep me.txt\n");
    EXPECT_EQ(Section(report, "RENAMED FILES:"),
              PadRight("AB~1.HTM", 36) + "    " + S + "/a+b.htm\n" +  //
                  PadRight("AB.HTM", 36) + "    " + S + "/ab.htm\n" + PadRight("INDEX.HTM", 36) +
                  "    " + S + "/index.html\n" + PadRight("OLDDIR", 36) + "    " + S +
                  "/Old Dir\n" + PadRight("DEEPERDI", 36) + "    " + S + "/Old Dir/deeper dir\n" +
                  PadRight("VERYLONG.HTM", 36) + "    " + S +
                  "/Old Dir/deeper dir/verylongname.html\n" + PadRight("MYPAGE#1.HTM", 36) +
                  "    " + S + "/Old Dir/my page#1.html\n" +
                  "1 entries could not be renamed.  See the file errors above.\n");
    const std::string errors =
        FormatMessage(IDS_RENAME_FAILED, S + "/clash one.htm", S + "/CLASHONE.HTM") + "\n" +
        ErrorLine(S + "/ro file.txt", LoadString(IDS_READ_ONLY_SKIPPED));
    EXPECT_EQ(Section(report, LoadString(IDS_SPECIAL_HEADING)), errors);
    EXPECT_NE(report.find("REPORT FROM SUCCESSFUL PASS"), std::string::npos);

    EXPECT_EQ(ReadFile(S + "/RENAME.LOG"),
              LogLine("AB~1.HTM", S + "/a+b.htm") + LogLine("AB.HTM", S + "/ab.htm") +
                  LogLine("INDEX.HTM", S + "/index.html") + LogLine("OLDDIR", S + "/Old Dir"));
    EXPECT_EQ(ReadFile(S + "/OLDDIR/RENAME.LOG"),
              LogLine("DEEPERDI", S + "/Old Dir/deeper dir") +
                  LogLine("MYPAGE#1.HTM", S + "/Old Dir/my page#1.html"));
    EXPECT_EQ(ReadFile(S + "/OLDDIR/DEEPERDI/RENAME.LOG"),
              LogLine("VERYLONG.HTM", S + "/Old Dir/deeper dir/verylongname.html"));

    // Undo from the run's journal turns back each entry that was renamed, and only those: the
    // clash that failed and the read-only file that was skipped need nothing.
    doc->UndoLast();
    const std::string undone = Section(Lf(ui.viewText), "RENAMED FILES:");
    EXPECT_EQ(std::count(undone.begin(), undone.end(), '\n'), 7) << undone;
    EXPECT_NE(undone.find(PadRight("index.html", 36) + "    " + S + "/INDEX.HTM\n"),
              std::string::npos)
        << undone;
    // The logs stay with their directories; without them and the intruder, the tree is as
    // it was, names and contents.
    for (const char* log : {"/RENAME.LOG", "/Old Dir/RENAME.LOG", "/Old Dir/deeper dir/RENAME.LOG"})
        EXPECT_EQ(::unlink((S + log).c_str()), 0) << log;
    EXPECT_EQ(::unlink((S + "/CLASHONE.HTM").c_str()), 0);
    EXPECT_EQ(TreeListing(S, true), before);
}

}  // namespace
}  // namespace ts::test
