#include "html/HtmlNode.h"
#include "site/TreeWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/ReportStream.h"
#include "base/Strings.h"
#include "site/DirXpNode.h"
#include "site/SiteCapture.h"
#include "support/FaultyFileSystem.h"
#include "support/MakeNode.h"

namespace ts::test {
namespace {

// Writes a fixed new content, or fails the way it is told to; remembers what it was asked.
class CFixedProducer : public CContentProducer {
public:
    CFixedProducer(std::string content, Result result = NEW_CONTENT)
        : m_content(std::move(content)), m_result(result) {}
    Result Produce(CFile& in, CContentSink& out) override {
        m_bProduced = true;
        char buf[64];
        if (in.Read(buf, sizeof buf) < 0) return READ_FAILED;
        if (m_result != NEW_CONTENT) return m_result;
        if (!out.Begin() || !out.Write(m_content)) return WRITE_FAILED;
        return NEW_CONTENT;
    }
    std::function<void()> OnReplaced() override {
        return [this] { m_bReplaced = true; };
    }
    std::string Kind() const override { return "fixed"; }
    std::string UndoLines() const override { return std::string(); }

    bool m_bProduced = false;
    bool m_bReplaced = false;

private:
    std::string m_content;
    Result m_result;
};

size_t EntriesIn(const std::string& dir) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

TEST(TreeWriter, RenameNeverReplacesAndKeepsTheNodeWhereItIs) {
    CTempDir site;
    CSiteCapture cap;
    CTreeWriter writer(cap.ctx);
    auto top = MakeRunTree(cap.ctx, site.Path(), MakeWebFileNode);
    const std::string a = site.Write("a.txt", "A"), b = site.Write("b.txt", "B");
    CFileNode node = MakeNode<CFileNode>(cap.ctx, a, top.get());

    EXPECT_FALSE(writer.Rename(node, "b.txt"));
    EXPECT_EQ(node.m_strPath, a);
    EXPECT_EQ(ReadFile(a), "A");
    EXPECT_EQ(ReadFile(b), "B");
    EXPECT_EQ(cap.Errors(), FormatMessage(IDS_RENAME_FAILED, a, b) + "\n");

    EXPECT_TRUE(writer.Rename(node, "c.txt"));
    EXPECT_EQ(node.m_strPath, site / "c.txt");
    EXPECT_EQ(node.OrigPath(), a);
    EXPECT_EQ(ReadFile(site / "c.txt"), "A");
    EXPECT_FALSE(std::filesystem::exists(a));
}

TEST(TreeWriter, MakeWritableUpdatesTheNodeOnlyWhenTheModeChanged) {
    CTempDir site;
    const std::string path = site.Write("ro.txt", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    CFaultyFileSystem faulty;
    CSiteCapture cap(faulty);
    CTreeWriter writer(cap.ctx);
    CFileNode node = MakeNode<CFileNode>(cap.ctx, path);
    ASSERT_TRUE(node.m_dwAttributes & FA_READONLY);

    faulty.FailOn(Op::SetMode);
    EXPECT_FALSE(writer.MakeWritable(node));
    EXPECT_TRUE(node.m_dwAttributes & FA_READONLY);
    EXPECT_EQ(node.m_nMode & 0777, 0444u);

    EXPECT_TRUE(writer.MakeWritable(node));
    EXPECT_FALSE(node.m_dwAttributes & FA_READONLY);
    EXPECT_EQ(node.m_nMode & 0777, 0644u);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(TreeWriter, ContentIsNeverWrittenThroughALink) {
    CTempDir site;
    const std::string target = site.Write("real.txt", "old");
    const std::string link = site / "link.txt";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    CSiteCapture cap;
    CTreeWriter writer(cap.ctx);
    CFileNode node = MakeNode<CFileNode>(cap.ctx, link);
    CFixedProducer producer("new");

    EXPECT_FALSE(writer.ReplaceContent(node, producer));
    EXPECT_FALSE(producer.m_bProduced);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(cap.Errors(), Lf(ErrorLine(link, LoadString(IDS_LINKED_FILE_SKIPPED))));
}

TEST(TreeWriter, EveryFailureLeavesTheOriginalAndNoTemporaryFile) {
    struct Case {
        Op op;  // the operation that fails (Stat: none)
        CContentProducer::Result result;
        int error;  // the error line's text, 0 for none
        bool replaced;
    };
    const Case cases[] = {
        {Op::Stat, CContentProducer::NEW_CONTENT, 0, true},
        {Op::Stat, CContentProducer::NO_CHANGE, 0, false},
        {Op::Stat, CContentProducer::READ_FAILED, IDS_READ_FAILED, false},
        {Op::OpenRead, CContentProducer::NEW_CONTENT, IDS_OPEN_FAILED, false},
        {Op::Read, CContentProducer::NEW_CONTENT, IDS_READ_FAILED, false},
        {Op::CreateTemp, CContentProducer::NEW_CONTENT, IDS_TEMP_OPEN_FAILED, false},
        {Op::Sync, CContentProducer::NEW_CONTENT, IDS_TEMP_WRITE_FAILED, false},
        {Op::Replace, CContentProducer::NEW_CONTENT, IDS_UPDATE_FAILED_KEPT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.op) * 10 + static_cast<int>(c.result));
        CTempDir site;
        const std::string path = site.Write("f.txt", "old");
        ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
        CFaultyFileSystem faulty;
        CSiteCapture cap(faulty);
        CTreeWriter writer(cap.ctx);
        CFileNode node = MakeNode<CFileNode>(cap.ctx, path);
        if (c.op != Op::Stat) faulty.FailOn(c.op);
        CFixedProducer producer("new", c.result);

        EXPECT_EQ(writer.ReplaceContent(node, producer), c.error == 0);
        EXPECT_EQ(producer.m_bReplaced, c.replaced);
        EXPECT_EQ(ReadFile(path), c.replaced ? "new" : "old");
        EXPECT_EQ(EntriesIn(site.Path()), 1u);
        // An open that failed says why.
        const std::string text = c.error == IDS_OPEN_FAILED ? FailureText(c.error, EIO)
                                 : c.error                  ? LoadString(c.error)
                                                            : "";
        EXPECT_EQ(cap.Errors(), c.error ? Lf(ErrorLine(path, text)) : "");
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
    }
}

TEST(TreeWriter, OwnFilesLiveInTheDirectoryWhereverItIsNow) {
    CTempDir site;
    CSiteCapture cap;
    CTreeWriter writer(cap.ctx);
    site.Write("old/x.txt", "x");
    auto top = MakeRunTree(cap.ctx, site.Path(), MakeWebFileNode);
    ASSERT_EQ(top->Scan(true, nullptr, false), 2);
    auto* dir = static_cast<CDirNode*>(top->Children()[0].get());
    ASSERT_TRUE(writer.Rename(*dir, "new"));

    for (const char* line : {"one", "two"}) {
        auto file = writer.AppendOwnFile(*dir, kRenameLogName);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write(line, 3) && file->Close());
    }
    EXPECT_EQ(ReadFile(site / "new/RENAME.LOG"), "onetwo");
}

}  // namespace
}  // namespace ts::test
