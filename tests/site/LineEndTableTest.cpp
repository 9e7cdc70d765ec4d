#include "site/LineEndTable.h"

#include <gtest/gtest.h>

#include <random>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "site/FileNode.h"
#include "support/FaultyFileSystem.h"
#include "support/MakeNode.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace ts::test {

namespace {

std::vector<uint64_t> Ends(const std::string& data, size_t piece = 1 << 20) {
    CLineEndScanner scanner;
    std::vector<uint64_t> out;
    for (size_t i = 0; i < data.size(); i += piece) {
        size_t n = std::min(piece, data.size() - i);
        scanner.Feed(reinterpret_cast<const unsigned char*>(data.data() + i), n, out);
    }
    return out;
}

using Table = std::vector<uint64_t>;

}  // namespace

TEST(LineEndTable, CountsPairsOnceAndLoneEndsEach) {
    EXPECT_EQ(Ends("a\r\nb\r\n"), (Table{1, 4}));
    EXPECT_EQ(Ends("a\nb"), (Table{1}));
    EXPECT_EQ(Ends("\r\r\n\n\r"), (Table{0, 1, 3, 4}));
    EXPECT_EQ(Ends("no line end"), Table{});
    // A pair split by the 512-byte block boundary is still one line end.
    std::string split(511, 'x');
    split += "\r\ny\n";
    EXPECT_EQ(Ends(split), (Table{511, 514}));
}

TEST(LineEndTable, ANulEndsTheTextOfItsBlockOnly) {
    std::string data = "a\n";
    data += '\0';
    data += "b\nc\n";
    data.resize(512, 'x');
    data += "d\ne\n";
    EXPECT_EQ(Ends(data), (Table{1, 513, 515}));
}

TEST(LineEndTable, PiecesOfAnySizeGiveTheSameTable) {
    std::mt19937 random(5);
    std::string data;
    const char alphabet[] = {'\r', '\n', 'a', '\0', '<'};
    for (int i = 0; i < 5000; ++i)
        data += alphabet[random() % 5];
    Table whole = Ends(data);
    for (size_t piece : {1, 2, 3, 7, 511, 512, 513, 4096})
        EXPECT_EQ(Ends(data, piece), whole);
}

TEST(LineEndTable, TheCursorOnlyMovesForward) {
    Table table{5, 9, 20, 30};  // three line ends and the length
    CLineCursor cursor(table);
    EXPECT_EQ(cursor.LineOf(0), 1);
    EXPECT_EQ(cursor.LineOf(6), 2);
    cursor.DropPassed();
    EXPECT_EQ(cursor.LineOf(10), 3);
    EXPECT_EQ(cursor.LineOf(25), 4);
    EXPECT_EQ(table.size(), 3u);
}

TEST(LineEndTable, BuildsTheTableOfAnOpenFile) {
    CTempDir dir;
    CFaultyFileSystem fs;
    CScriptedUi ui;
    CRunContext ctx(fs, ui);
    std::string data(70000, 'x');
    data[100] = '\n';
    data[69000] = '\r';
    std::string path = dir.Write("page.htm", data);
    auto errors = fs.OpenWrite(dir / "errors");
    ctx.errorReport.Attach(errors.get());
    CFileNode node = test::MakeNode<CFileNode>(ctx, path);
    auto file = fs.OpenRead(path);
    ASSERT_TRUE(BuildLineEndTable(node, *file));
    EXPECT_EQ(*node.m_pLineEnds, (Table{100, 69000, 70000}));
    fs.FailOn(Op::Read, 2);
    file = fs.OpenRead(path);
    EXPECT_FALSE(BuildLineEndTable(node, *file));
    EXPECT_EQ(node.m_pLineEnds, nullptr);
    ctx.errorReport.Detach();
    EXPECT_EQ(Lf(ReadFile(dir / "errors")), ErrorLine(path, "read failed"));
}

}  // namespace ts::test
