// The journal of a run reads back what was recorded, whatever the names hold, and keeps the
// bytes of files before they change, one after another.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <fstream>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "site/RunJournal.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

TEST(RunJournal, RecordsReadBackAndOriginalsKeepTheirBytes) {
    CTempDir site, state;
    CFileSystem& fs = RealFileSystem();
    const std::string runs = state / "runs";
    std::unique_ptr<CDir> top = fs.OpenDir(site.Path());
    auto journal = CRunJournal::Create(fs, runs, site.Path(), top->Id());
    ASSERT_TRUE(journal);
    std::vector<JournalRecord> written;
    JournalRecord r;
    r.kind = JournalRecord::RENAME;
    r.dir = "sub dir/\t%41 \xE6\x97\xA5";
    r.dirId = {1, 2};
    r.name = "a\r\nb%";
    r.id = {3, 4};
    r.after = "A_B.HTM";
    written.push_back(r);
    r.kind = JournalRecord::LINK;
    r.before = "old target";
    r.after = "";
    written.push_back(r);
    r.kind = JournalRecord::MODE;
    r.oldMode = 0444;
    r.newMode = 0644;
    written.push_back(r);
    r.kind = JournalRecord::CONTENT;
    r.offset = 1ull << 40;
    r.length = 12345;
    written.push_back(r);
    r = JournalRecord();
    r.after = "complete";
    written.push_back(r);
    for (const JournalRecord& w : written)
        ASSERT_TRUE(journal->Record(w));
    ASSERT_TRUE(journal->Commit());

    std::string readTop;
    FileId readId;
    std::vector<JournalRecord> read;
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    EXPECT_EQ(readTop, site.Path());
    EXPECT_EQ(readId, top->Id());
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].kind, written[i].kind) << i;
        EXPECT_EQ(read[i].dir, written[i].dir) << i;
        EXPECT_EQ(read[i].dirId, written[i].dirId) << i;
        EXPECT_EQ(read[i].name, written[i].name) << i;
        EXPECT_EQ(read[i].id, written[i].id) << i;
        EXPECT_EQ(read[i].after, written[i].after) << i;
        EXPECT_EQ(read[i].before, written[i].before) << i;
        EXPECT_EQ(read[i].oldMode, written[i].oldMode) << i;
        EXPECT_EQ(read[i].newMode, written[i].newMode) << i;
        EXPECT_EQ(read[i].offset, written[i].offset) << i;
        EXPECT_EQ(read[i].length, written[i].length) << i;
    }

    // A last line cut short by a crash is left out; any other line that is no valid record
    // is read as damaged, never guessed at, and costs only itself.
    const std::string file = journal->Folder() + "/journal";
    const std::string whole = ReadFile(file);
    WriteFile(file, whole + "rename\tsub");
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    EXPECT_EQ(read.size(), written.size());
    WriteFile(file, whole + "rename\tsub\n");
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    ASSERT_EQ(read.size(), written.size() + 1);
    EXPECT_EQ(read.back().kind, JournalRecord::DAMAGED);
    // One flipped byte in the first record, a forged record whose checksum fits but whose
    // name leads out of the tree, and numbers that are no numbers: each is damaged alone.
    std::string flipped = whole;
    const size_t firstRecord = flipped.find('\n') + 1;
    flipped[flipped.find("sub dir", firstRecord)] = 'S';
    auto forged = [](std::string body) {
        return Format("%08x\t%zu\t", Crc32c(body.data(), body.size()), body.size()) + body + "\n";
    };
    const std::string tail = "\t3:4\t3:4\tx\t\t0\t0\t0\t5\t0\t0\t0";
    WriteFile(file, flipped + forged("content\t\t1:2\tgood.txt" + tail) +
                        forged("content\t\t1:2\t../outside.txt" + tail) +
                        forged("rename\tsub/../..\t1:2\tx" + tail) +
                        forged("mode\t\t1:2\tx\t3:4\t3:4\t\t\t99999\t0\t0\t0\t0\t0\t0") +
                        forged("content\t\t1:2\tx\t3:4\t3:4\t\t\t0\t0\t-1\t0\t0\t0\t0"));
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    ASSERT_EQ(read.size(), written.size() + 5);
    EXPECT_EQ(read[0].kind, JournalRecord::DAMAGED);
    for (size_t i = 1; i < written.size(); ++i)
        EXPECT_EQ(read[i].kind, written[i].kind) << i;
    EXPECT_EQ(read[written.size()].kind, JournalRecord::CONTENT);
    EXPECT_EQ(read[written.size()].name, "good.txt");
    EXPECT_EQ(read[written.size()].length, 5u);
    for (size_t i = written.size() + 1; i < read.size(); ++i) {
        EXPECT_EQ(read[i].kind, JournalRecord::DAMAGED) << i;
        EXPECT_EQ(read[i].number, i + 1);
    }
    WriteFile(file, whole);

    // A journal that others may write, or that another user owns, is not trusted.
    ASSERT_EQ(::chmod(journal->Folder().c_str(), 0777), 0);
    EXPECT_FALSE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    EXPECT_EQ(errno, EPERM);
    ASSERT_EQ(::chmod(journal->Folder().c_str(), 0700), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 12345, 12345), 0);
        EXPECT_FALSE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
        EXPECT_EQ(errno, EPERM);
        ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    }
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));

    // Originals lie one after another, each where the journal says, whatever the file's
    // handle had read before; the file can be read again afterwards.
    const std::string first = site.Write("one.html", "<a href=\"old\">x</a>\r\n");
    const std::string second = site.Write("two.bin", std::string(200000, '\xFF') + "end");
    uint64_t offset[2], length[2];
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<CFile> in = fs.OpenRead(i == 0 ? first : second);
        char skip[10];
        ASSERT_EQ(in->Read(skip, sizeof skip), 10);
        ASSERT_TRUE(journal->KeepOriginal(*in, offset[i], length[i]));
        std::string again(length[i], '\0');
        ASSERT_EQ(in->Read(again.data(), again.size()), static_cast<long long>(length[i]));
        EXPECT_EQ(again, ReadFile(i == 0 ? first : second));
    }
    ASSERT_TRUE(journal->Commit());
    const std::string originals = ReadFile(journal->Folder() + "/originals");
    EXPECT_EQ(originals.substr(offset[0], length[0]), ReadFile(first));
    EXPECT_EQ(originals.substr(offset[1], length[1]), ReadFile(second));
    EXPECT_EQ(offset[1], length[0]);
}

}  // namespace ts::test
