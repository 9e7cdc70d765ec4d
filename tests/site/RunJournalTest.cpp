// The journal of a run reads back what was recorded, whatever the names hold, and keeps the
// bytes of a file whose content is replaced, on the same file system and across two.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/SafeRewrite.h"
#include "site/RunJournal.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// Replaces the file's content as a run does, then gives back what the journal kept of it.
std::string ReplaceAndReadKept(const CTempDir& site, const std::string& runsDir) {
    CFileSystem& fs = RealFileSystem();
    site.Write("page one.html", "<a href=\"old\">x</a>\r\n");
    std::unique_ptr<CDir> dir = fs.OpenDir(site.Path());
    FileStat st;
    EXPECT_TRUE(dir->Stat("page one.html", st));
    auto journal = CRunJournal::Create(fs, runsDir, site.Path(), dir->Id());
    EXPECT_TRUE(journal);
    if (!journal) return "";
    std::string saved;
    EXPECT_TRUE(journal->KeepOriginal(*dir, "page one.html", st.id, saved));
    // Another object under the name is refused.
    site.Write("other.html", "x");
    std::string refused;
    EXPECT_FALSE(journal->KeepOriginal(*dir, "other.html", st.id, refused));
    EXPECT_TRUE(RewriteWholeFile(fs, site / "page one.html", "<a href=\"NEW\">x</a>\n", 0644));
    EXPECT_EQ(ReadFile(site / "page one.html"), "<a href=\"NEW\">x</a>\n");
    return ReadFile(journal->Folder() + "/" + saved);
}

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
    r = JournalRecord();
    r.after = "complete";
    written.push_back(r);
    for (const JournalRecord& w : written)
        ASSERT_TRUE(journal->Record(w));

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
    }

    // A last line cut short by a crash is left out; anything else that is no record is an
    // error, never a guess.
    const std::string file = journal->Folder() + "/journal";
    const std::string whole = ReadFile(file);
    WriteFile(file, whole + "rename\tsub");
    ASSERT_TRUE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));
    EXPECT_EQ(read.size(), written.size());
    WriteFile(file, whole + "rename\tsub\n");
    EXPECT_FALSE(CRunJournal::Read(fs, journal->Folder(), readTop, readId, read));

    // The bytes of a replaced file stay in the journal: linked on the same file system,
    // copied onto another one (a tmpfs, when there is one).
    const std::string old = "<a href=\"old\">x</a>\r\n";
    EXPECT_EQ(ReplaceAndReadKept(site, runs), old);
    char shm[] = "/dev/shm/tessary_journal_XXXXXX";
    if (::mkdtemp(shm)) {
        EXPECT_EQ(ReplaceAndReadKept(site, std::string(shm) + "/runs"), old);
        std::filesystem::remove_all(shm);
    }
}

}  // namespace ts::test
