// The verification lists as the engine runs them: the rows handed to the front end, its choices
// applied (Cancel applies nothing, a missing flag counts as checked), and edits in the list
// taking effect at once.
#include <gtest/gtest.h>

#include "base/Strings.h"
#include "site/LineEndVerify.h"
#include "site/LineEnds.h"
#include "site/SiteFixture.h"
#include "site/VerifyLists.h"

namespace ts::test {
namespace {

const std::string kSep(80, '-');

std::string Heading(int id) {
    return kSep + "\n" + LoadString(id) + "\n" + kSep + "\n";
}

}  // namespace

TEST(VerifyFlow, FilenamesChoicesAndEdits) {
    CSiteFixture f;
    f.site.Write("a b.txt", "a");
    f.site.Write("c d.txt", "c");
    f.site.Write("e f.txt", "e");
    f.Scan();
    ASSERT_EQ(f.CheckNames(TFS_DOS_FAT), 3);

    // Cancel: nothing applied, whatever was unchecked.
    f.ui.verifyFilenames = [](CVerifyNameList& list) {
        return VerifyChoices{false, std::vector<bool>(list.Rows().size(), false)};
    };
    EXPECT_FALSE(VerifyFilenames(f.ctx, f.ui, *f.top, TFS_DOS_FAT));
    EXPECT_EQ(f.NewName("a b.txt"), "AB.TXT");
    EXPECT_EQ(f.Status(), "");

    // An edit is the entry's name at once: the next edit's uniqueness check sees it.
    std::vector<std::string> messages;
    f.ui.verifyFilenames = [&](CVerifyNameList& list) {
        EXPECT_EQ(list.Directory(), f.site.Path());
        EXPECT_EQ(list.Target(), TFS_DOS_FAT);
        auto edit = [&](size_t row, std::string text) {
            CRenamePrompt prompt = list.EditPrompt(row);
            EXPECT_FALSE(prompt.OffersPassButtons());
            std::string message;
            bool ok = prompt.Accept(text, message);
            messages.push_back(message);
            return ok;
        };
        EXPECT_FALSE(edit(1, "AB.TXT"));
        EXPECT_TRUE(edit(0, "X.TXT"));
        EXPECT_EQ(list.Refresh(0).strSuggested, "X.TXT");
        EXPECT_TRUE(edit(1, "AB.TXT"));
        // Only the first flag given: the rows after it stay checked.
        return VerifyChoices{true, {false}};
    };
    EXPECT_TRUE(VerifyFilenames(f.ctx, f.ui, *f.top, TFS_DOS_FAT));
    EXPECT_EQ(messages, (std::vector<std::string>{LoadString(IDS_NOT_UNIQUE), "", ""}));
    EXPECT_EQ(f.NewName("a b.txt"), "");
    EXPECT_EQ(f.NewName("c d.txt"), "AB.TXT");
    EXPECT_EQ(f.NewName("e f.txt"), "EF.TXT");
    EXPECT_EQ(f.Status(), Heading(IDS_NOT_RENAMED_HEADING) + PadRight("X.TXT", 36) + "    " +
                              f.site / "a b.txt" + "\n\n\n\n");
}

TEST(VerifyFlow, LineEndChoices) {
    CSiteFixture f;
    f.site.Write("a.txt", "a\r\n");
    f.site.Write("b.txt", "b\r\n");
    f.Scan();
    auto mark = [&f] {
        return f.top->ForEach([](CFileNode& n, bool&) { return MarkLineEnd(n, LE_UNIX) ? 1 : 0; },
                              "Searching for ASCII Files");
    };
    ASSERT_EQ(mark(), 2);
    std::string shown;
    f.ui.verifyLineEnds = [&](const std::string& dir, const std::vector<LineEndRow>& rows) {
        shown = dir + ":";
        for (const LineEndRow& row : rows)
            shown += " " + row.text;
        return VerifyChoices{false, {false, false}};
    };
    EXPECT_EQ(VerifyLineEnds(f.ctx, f.ui, *f.top), VERIFY_ASCII_CANCEL);
    EXPECT_EQ(shown, f.site.Path() + ": /a.txt /b.txt");
    EXPECT_TRUE(f.Node("a.txt")->m_bMarked);
    EXPECT_EQ(f.Status(), "");

    f.ui.verifyLineEnds = [](const std::string&, const std::vector<LineEndRow>&) {
        return VerifyChoices{true, {false}};
    };
    EXPECT_EQ(VerifyLineEnds(f.ctx, f.ui, *f.top), VERIFY_ASCII_SOME);
    EXPECT_FALSE(f.Node("a.txt")->m_bMarked);
    EXPECT_TRUE(f.Node("b.txt")->m_bMarked);
    EXPECT_EQ(f.Status(), Heading(IDS_NOT_UPDATED_HEADING) + f.site / "a.txt" + "\n\n\n\n");

    f.ui.verifyLineEnds = [](const std::string&, const std::vector<LineEndRow>& rows) {
        return VerifyChoices{true, std::vector<bool>(rows.size(), false)};
    };
    EXPECT_EQ(VerifyLineEnds(f.ctx, f.ui, *f.top), VERIFY_ASCII_NONE);
    EXPECT_FALSE(f.Node("b.txt")->m_bMarked);
}

}  // namespace ts::test
