#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/LineEndVerify.h"
#include "site/LineEnds.h"
#include "site/TreeWriter.h"
#include "support/FaultyFileSystem.h"
#include "support/MakeNode.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// One file converted outside a run, with its report lines captured.
struct Conversion {
    CTempDir dir;
    CTempDir reports;
    CScriptedUi ui;
    std::string status, errors;

    std::string Convert(const std::string& content, int to, CFileSystem& fs = RealFileSystem(),
                        int* result = nullptr) {
        std::string path = dir.Write("f.txt", content);
        CRunContext ctx(fs, ui);
        std::string sp, ep;
        auto sf = RealFileSystem().CreateTemp(reports.Path(), "s", sp);
        auto ef = RealFileSystem().CreateTemp(reports.Path(), "e", ep);
        ctx.statusReport.Attach(sf.get());
        ctx.errorReport.Attach(ef.get());
        CFileNode node = test::MakeNode<CFileNode>(ctx, path);
        CTreeWriter writer(ctx);
        int r = ConvertLineEnds(writer, node, to);
        if (result) *result = r;
        ctx.statusReport.Detach();
        ctx.errorReport.Detach();
        status = ReadFile(sp);
        errors = ReadFile(ep);
        return ReadFile(path);
    }
};

}  // namespace

TEST(LineEnds, ConvertsEveryLineEndAndKeepsEverythingElse) {
    Conversion c;
    EXPECT_EQ(c.Convert("a\r\nb\r\n", LE_UNIX), "a\nb\n");
    EXPECT_EQ(c.Convert("a\r\nb\r\n", LE_MAC), "a\rb\r");
    EXPECT_EQ(c.Convert("a\nb", LE_DOS), "a\r\nb");
    // Mixed conventions all become the new one.
    EXPECT_EQ(c.Convert("a\rb\nc\r\nd\n\re", LE_DOS), "a\r\nb\r\nc\r\nd\r\n\r\ne");
    // A long line keeps all its characters.
    std::string line(2000, 'x');
    EXPECT_EQ(c.Convert(line + "\r\n" + line + "\r\n", LE_UNIX), line + "\n" + line + "\n");
    // A CR as byte 512 and an LF as byte 513 are one line end, whatever the read buffers.
    std::string straddle = std::string(511, 'a') + "\r\n" + "b\r\n";
    EXPECT_EQ(c.Convert(straddle, LE_UNIX), std::string(511, 'a') + "\nb\n");
    // Files of exactly 512 and 513 bytes.
    EXPECT_EQ(c.Convert(std::string(511, 'a') + "\n", LE_DOS), std::string(511, 'a') + "\r\n");
    EXPECT_EQ(c.Convert(std::string(511, 'a') + "\r\n", LE_MAC), std::string(511, 'a') + "\r");
    EXPECT_EQ(c.Convert(std::string(512, 'a') + "\n", LE_MAC), std::string(512, 'a') + "\r");
}

TEST(LineEnds, NulByteEndsTheSearchWithinItsBlock) {
    Conversion c;
    // Line ends after a NUL in the same 512-byte block stay as they are; the next block is
    // searched again.
    std::string block1 = "a\nb" + std::string(1, '\0') + "c\nd";
    block1 += std::string(512 - block1.size(), 'x');
    std::string content = block1 + "e\nf";
    std::string expected = "a\r\nb" + std::string(1, '\0') + "c\nd";
    expected += std::string(512 - expected.size() + 1, 'x');
    expected += "e\r\nf";
    EXPECT_EQ(c.Convert(content, LE_DOS), expected);
}

TEST(LineEnds, FileWithoutLineEndsIsDoneButNeitherRewrittenNorListed) {
    Conversion c;
    int result = -1;
    struct stat before, after;
    std::string path = c.dir.Write("f.txt", "no line end");
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(c.Convert("no line end", LE_UNIX, RealFileSystem(), &result), "no line end");
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(c.status, "");
    EXPECT_EQ(c.errors, "");
}

TEST(LineEnds, ReportLineNamesBothConventions) {
    Conversion c;
    c.Convert("a\r\n", LE_UNIX);
    EXPECT_EQ(c.status, "DOS  -> UNIX:  " + (c.dir / "f.txt") + "\r\n");
    c.Convert("a\r", LE_DOS);
    EXPECT_EQ(c.status, "Mac  ->  DOS:  " + (c.dir / "f.txt") + "\r\n");
}

// Whatever step fails, the original keeps every byte and no temporary file is left behind.
TEST(LineEnds, FailureLeavesOriginalUntouchedAndNoTemporaryFile) {
    // Line ends in both read buffers, so the temporary file is written more than once.
    const std::string original = "a\r\n" + std::string(300000, 'q') + "\r\nend\r\n";
    struct Case {
        Op op;
        int nth;
        const char* message;
    } cases[] = {
        {Op::OpenRead, 2, "open failed: Input/output error"},  // the first open is the scan's
        {Op::Read, 2, "read failed"},
        {Op::CreateTemp, 1, "Could not open temporary file!"},
        {Op::Write, 1, "Write to temporary file failed"},
        {Op::Write, 2, "Write to temporary file failed"},
        {Op::Sync, 1, "Write to temporary file failed"},
        {Op::SetMode, 1, "Error updating, original left unchanged"},
        {Op::Replace, 1, "Error updating, original left unchanged"},
    };
    for (const Case& k : cases) {
        Conversion c;
        CFaultyFileSystem fs;
        fs.FailOn(k.op, k.nth);
        int result = -1;
        EXPECT_TRUE(c.Convert(original, LE_UNIX, fs, &result) == original) << k.message;
        EXPECT_EQ(result, 0) << k.message;
        EXPECT_EQ(ListNames(c.dir.Path()), "f.txt\n") << k.message;
        EXPECT_EQ(Lf(c.errors), PadRight(c.dir / "f.txt", 36) + "    " + k.message + "\n");
        EXPECT_EQ(c.status, "") << k.message;
    }
}

TEST(LineEnds, KeepsPermissionBitsAndNeverWritesThroughALink) {
    Conversion c;
    std::string path = c.dir.Write("f.txt", "a\r\n");
    ::chmod(path.c_str(), 0640);
    CRunContext ctx(RealFileSystem(), c.ui);
    CTreeWriter writer(ctx);
    CFileNode node = test::MakeNode<CFileNode>(ctx, path);
    EXPECT_EQ(ConvertLineEnds(writer, node, LE_UNIX), 1);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    std::string target = c.dir.Write("target.txt", "x\r\n");
    std::string link = c.dir / "link.txt";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    CFileNode linked = test::MakeNode<CFileNode>(ctx, link);
    EXPECT_EQ(linked.m_nType, FT_TEXT);  // read through the link
    EXPECT_EQ(ConvertLineEnds(writer, linked, LE_UNIX), 0);
    EXPECT_EQ(ReadFile(target), "x\r\n");
    struct stat ls;
    ASSERT_EQ(::lstat(link.c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
}

TEST(LineEnds, MemoryStaysFlatOnALargeFile) {
    CTempDir dir;
    std::string path = dir / "big.txt";
    {
        std::string chunk;
        for (int i = 0; i < 1000; ++i)
            chunk += "some text of a line\r\n";
        FILE* f = std::fopen(path.c_str(), "wb");
        for (int i = 0; i < 100 * 1024 * 1024 / static_cast<int>(chunk.size()); ++i)
            std::fwrite(chunk.data(), 1, chunk.size(), f);
        std::fclose(f);
    }
    CScriptedUi ui;
    CRunContext ctx(RealFileSystem(), ui);
    CTreeWriter writer(ctx);
    CFileNode node = test::MakeNode<CFileNode>(ctx, path);
    struct rusage before, after;
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(ConvertLineEnds(writer, node, LE_UNIX), 1);
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024);  // kilobytes
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size % 20, 0);
    EXPECT_EQ(ReadFile(path).substr(0, 40), "some text of a line\nsome text of a line\n");
}

// Converted bytes equal what the dos2unix family makes of files in one convention.
TEST(LineEnds, AgreesWithTheDos2unixFamily) {
    if (::access("/usr/bin/dos2unix", X_OK) != 0) GTEST_SKIP() << "dos2unix is not installed";
    struct Tool {
        const char* tool;
        std::string input;
        int to;
    } tools[] = {
        {"dos2unix", "one\r\ntwo\r\n\r\nthree", LE_UNIX},
        {"unix2dos", "one\ntwo\n\nthree", LE_DOS},
        {"mac2unix", "one\rtwo\r\rthree", LE_UNIX},
        {"unix2mac", "one\ntwo\n\nthree\n", LE_MAC},
    };
    for (const Tool& t : tools) {
        Conversion c;
        std::string ours = c.Convert(t.input, t.to);
        std::string theirs = c.dir.Write("theirs.txt", t.input);
        std::string cmd = std::string(t.tool) + " -q " + theirs + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << t.tool;
        EXPECT_EQ(ours, ReadFile(theirs)) << t.tool;
    }
}

// A whole run: the section lists each conversion; binary, empty, linked, already converted
// and read-only files (with read-only files skipped) are left alone.
TEST(LineEnds, RunConvertsOnlyTheFilesThatNeedIt) {
    CTempDir site, tmp;
    site.Write("dos.txt", "a\r\nb\r\n");
    site.Write("unix.txt", "a\nb\n");
    site.Write("sub/mac.htm", "<p>\r</p>\r");
    site.Write("empty.txt", "");
    site.Write("image.png", "\x89PNG\r\n\x1a\n");
    std::string ro = site.Write("locked.txt", "x\r\n");
    ::chmod(ro.c_str(), 0444);
    ASSERT_EQ(::symlink((site / "dos.txt").c_str(), (site / "alias.txt").c_str()), 0);

    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path());
    ui.settings.FilesOnly = true;
    ui.settings.LineEnd = LE_UNIX;
    ui.settings.AutoReadOnly = 1;
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();

    EXPECT_EQ(ReadFile(site / "dos.txt"), "a\nb\n");
    EXPECT_EQ(ReadFile(site / "sub/mac.htm"), "<p>\n</p>\n");
    EXPECT_EQ(ReadFile(site / "unix.txt"), "a\nb\n");
    EXPECT_EQ(ReadFile(ro), "x\r\n");
    EXPECT_EQ(ReadFile(site / "image.png"), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(ui.verifyLineEndsShown, 1);
    EXPECT_NE(doc->m_dwRunStatus & RS_LINE_ENDS, 0u);
    EXPECT_TRUE(doc->CanUndo());

    std::string report = Lf(ui.viewText);
    const std::string section =
        "FILES WITH CHANGED LINE ENDINGS:\n"
        "--------------------------------------------------------------------------------\n"
        "DOS  -> UNIX:  " +
        (site / "dos.txt") + "\n" + "Mac  -> UNIX:  " + (site / "sub/mac.htm") + "\n\n\n\n";
    EXPECT_NE(report.find(section), std::string::npos) << report;
    EXPECT_NE(
        report.find(PadRight(site / "alias.txt", 36) + "    symbolic link, not written through"),
        std::string::npos)
        << report;
    EXPECT_NE(report.find(PadRight(ro, 36) + "    read-only file was skipped"), std::string::npos)
        << report;
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

TEST(LineEnds, UncheckingEveryFileConvertsNothing) {
    CTempDir site, tmp;
    site.Write("a.txt", "a\r\n");
    site.Write("b.txt", "b\r\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path());
    ui.settings.FilesOnly = true;
    ui.settings.LineEnd = LE_MAC;
    ui.verifyLineEnds = [](const std::string&, const std::vector<LineEndRow>& rows) {
        EXPECT_EQ(rows.size(), 2u);
        if (rows.size() == 2) {
            EXPECT_EQ(rows[1].text, "/b.txt");
        }
        return VerifyChoices{true, std::vector<bool>(rows.size(), false)};
    };
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\r\n");
    EXPECT_EQ(doc->m_dwRunStatus & RS_LINE_ENDS, 0u);
    EXPECT_FALSE(doc->CanUndo());
    std::string report = Lf(ui.viewText);
    const std::string expected =
        "--------------------------------------------------------------------------------\n"
        "THESE FILES NEEDED ASCII LINE END UPDATING BUT WERE NOT UPDATED BY USER REQUEST:\n"
        "--------------------------------------------------------------------------------\n" +
        (site / "a.txt") + "\n" + (site / "b.txt") + "\n\n\n\n" +
        "--------------------------------------------------------------------------------\n"
        "FILES WITH CHANGED LINE ENDINGS:\n"
        "--------------------------------------------------------------------------------\n"
        "\nAll files had compatible ASCII line endings!\n\n\n\n";
    EXPECT_NE(report.find(expected), std::string::npos) << report;
}

TEST(LineEnds, RestoreConvertsBackToTheScannedConvention) {
    Conversion c;
    std::string path = c.dir.Write("m.txt", "a\rb\r");
    CRunContext ctx(RealFileSystem(), c.ui);
    std::string sp;
    auto sf = RealFileSystem().CreateTemp(c.reports.Path(), "s", sp);
    ctx.statusReport.Attach(sf.get());
    CFileNode node = test::MakeNode<CFileNode>(ctx, path);
    ASSERT_EQ(node.m_nOrigLineEnd, LE_MAC);
    ASSERT_TRUE(MarkLineEnd(node, LE_DOS));
    ReadOnlyChoice readOnly = RO_ASK;
    CTreeWriter writer(ctx);
    EXPECT_EQ(ConvertIfMarked(writer, node, LE_DOS, readOnly), 1);
    EXPECT_FALSE(node.m_bMarked);
    EXPECT_EQ(ReadFile(path), "a\r\nb\r\n");
    EXPECT_EQ(RestoreLineEnd(writer, node), 1);
    EXPECT_EQ(ReadFile(path), "a\rb\r");
    ctx.statusReport.Detach();
    EXPECT_EQ(ReadFile(sp), "Mac  ->  DOS:  " + path + "\r\nDOS  ->  Mac:  " + path + "\r\n");
}

}  // namespace ts::test
