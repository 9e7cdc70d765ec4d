// Undo from a run's journal, with no tree in memory: renames of files and directories, content
// (mixed line ends given back byte for byte), a re-pointed link and a changed mode are undone
// in reverse order; a page the user edited after the run is left with his edit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "site/JournalUndo.h"
#include "site/RunHistory.h"
#include "support/EndedProcess.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// Makes the changes a run would, each recorded before it is made, as the writer is to.
class CRecordedRun {
public:
    CRecordedRun(CTempDir& site, const std::string& runs)
        : m_fs(RealFileSystem()), m_top(m_fs.OpenDir(site.Path())) {
        m_journal = CRunJournal::Create(m_fs, runs, site.Path(), m_top->Id());
        EXPECT_TRUE(m_journal);
    }

    void Rename(CDir& dir, const std::string& rel, const std::string& from, const std::string& to) {
        JournalRecord r = Base(JournalRecord::RENAME, dir, rel, from);
        r.after = to;
        Commit(r);
        ASSERT_TRUE(dir.RenameNoReplace(from, to));
    }

    void Rewrite(CDir& dir, const std::string& rel, const std::string& name,
                 const std::string& content) {
        JournalRecord r = Base(JournalRecord::CONTENT, dir, rel, name);
        std::unique_ptr<CFile> f = dir.OpenModify(name);
        ASSERT_TRUE(f && m_journal->KeepOriginal(*f, r.offset, r.length));
        r.newId = r.id;
        r.newLength = content.size();
        r.newHash = ContentHash(content.data(), content.size());
        Commit(r);
        // In place: the file keeps its inode.
        ASSERT_TRUE(f->Write(content.data(), content.size()) && f->Resize(content.size()));
    }

    void Repoint(CDir& dir, const std::string& rel, const std::string& name,
                 const std::string& text) {
        JournalRecord r = Base(JournalRecord::LINK, dir, rel, name);
        ASSERT_TRUE(dir.ReadLink(name, r.before));
        r.after = text;
        Commit(r);
        ASSERT_TRUE(dir.ReplaceLink(name, text));
    }

    void Chmod(CDir& dir, const std::string& rel, const std::string& name, unsigned mode) {
        JournalRecord r = Base(JournalRecord::MODE, dir, rel, name);
        FileStat st;
        ASSERT_TRUE(dir.Stat(name, st));
        r.oldMode = st.mode;
        r.newMode = mode;
        Commit(r);
        ASSERT_TRUE(dir.SetMode(name, mode));
    }

    // A file the run makes; made false: recorded, and then never made.
    void Create(CDir& dir, const std::string& rel, const std::string& name,
                const std::string& content, bool made = true) {
        JournalRecord r;
        r.kind = JournalRecord::CREATE;
        r.dir = rel;
        r.dirId = dir.Id();
        r.name = name;
        r.after = "redirects";
        r.newLength = content.size();
        r.newHash = ContentHash(content.data(), content.size());
        Commit(r);
        if (!made) return;
        std::unique_ptr<CFile> f = dir.OpenNew(name);
        ASSERT_TRUE(f && f->Write(content.data(), content.size()) && f->Close());
    }

    // A change recorded, and then never made: the run stopped first.
    void Intend(JournalRecord r) { Commit(r); }
    JournalRecord Rec(JournalRecord::Kind kind, CDir& dir, const std::string& rel,
                      const std::string& name) {
        return Base(kind, dir, rel, name);
    }
    void Mark(JournalRecord::Kind kind) {
        JournalRecord r;
        r.kind = kind;
        Commit(r);
    }

    CDir& Top() { return *m_top; }
    const std::string& Folder() const { return m_journal->Folder(); }

private:
    JournalRecord Base(JournalRecord::Kind kind, CDir& dir, const std::string& rel,
                       const std::string& name) {
        JournalRecord r;
        r.kind = kind;
        r.dir = rel;
        r.dirId = dir.Id();
        r.name = name;
        FileStat st;
        EXPECT_TRUE(dir.Stat(name, st));
        r.id = st.id;
        return r;
    }
    void Commit(const JournalRecord& r) {
        ASSERT_TRUE(m_journal->Record(r) && m_journal->Commit());
    }

    CFileSystem& m_fs;
    std::unique_ptr<CDir> m_top;
    std::unique_ptr<CRunJournal> m_journal;
};

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

}  // namespace

TEST(JournalUndo, EveryChangeGoesBackInReverseAndEditsByTheUserStay) {
    CTempDir site, state;
    site.Write("index.html", "<a href=\"sub dir/Page One.html\">1</a>\r\n");
    site.Write("sub dir/Page One.html", "a\r\nb\nc\rd\n");
    site.Write("notes.txt", "read-only\r\n");
    site.Write("edited.html", "<p>old</p>\r\n");
    ASSERT_EQ(::symlink("sub dir/Page One.html", (site / "lnk").c_str()), 0);
    ASSERT_EQ(::chmod((site / "notes.txt").c_str(), 0444), 0);
    const std::string before = TreeListing(site.Path(), true);

    {
        CRecordedRun run(site, state / "runs");
        CDir& top = run.Top();
        std::unique_ptr<CDir> sub = top.OpenDir("sub dir");
        run.Chmod(top, "", "notes.txt", 0644);
        run.Rewrite(top, "", "notes.txt", "read-only\n");
        run.Rewrite(*sub, "sub dir", "Page One.html", "a\rb\rc\rd\r");
        run.Rename(*sub, "sub dir", "Page One.html", "PAGEONE.HTM");
        run.Rename(top, "", "sub dir", "SUBDIR");
        run.Rewrite(top, "", "index.html", "<a href=\"SUBDIR/PAGEONE.HTM\">1</a>\n");
        run.Repoint(top, "", "lnk", "SUBDIR/PAGEONE.HTM");
        run.Rewrite(top, "", "edited.html", "<p>old</p>\n");
        run.Mark(JournalRecord::WRITTEN);
        run.Mark(JournalRecord::END);
        const std::string folder = run.Folder();
        // The user edits a page after the run.
        site.Write("edited.html", "<p>mine</p>\n");

        std::vector<UndoOutcome> outcomes;
        ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes));
        ASSERT_EQ(outcomes.size(), 8u);
        for (const UndoOutcome& o : outcomes) {
            const bool edited = o.path == site / "edited.html";
            EXPECT_EQ(o.result, edited ? UndoOutcome::CHANGED : UndoOutcome::UNDONE) << o.path;
        }
    }
    EXPECT_EQ(ReadFile(site / "edited.html"), "<p>mine</p>\n");
    site.Write("edited.html", "<p>old</p>\r\n");
    EXPECT_EQ(TreeListing(site.Path(), true), before);
    EXPECT_EQ(ModeOf(site / "notes.txt"), 0444u);
}

// Files a run made (redirect rules, pages left at old paths) go, unless the user changed
// them since or one stands where the run never made it.
TEST(JournalUndo, FilesTheRunMadeGoUnlessTheUserChangedThem) {
    CTempDir site, state;
    site.Write("index.html", "<p>home</p>\n");
    site.Write("sub/page.htm", "<p>page</p>\n");
    std::string folder;
    {
        CRecordedRun run(site, state / "runs");
        std::unique_ptr<CDir> sub = run.Top().OpenDir("sub");
        run.Create(run.Top(), "", "_redirects", "/a /b 301\n");
        run.Create(*sub, "sub", "page.html",
                   "<meta http-equiv=refresh content=\"0; url=./page.htm\">");
        run.Create(run.Top(), "", "tessary-redirects.conf", "location = /a { return 301 /b; }\n");
        run.Create(run.Top(), "", "never.html", "<p>stub</p>", false);
        run.Mark(JournalRecord::WRITTEN);
        run.Mark(JournalRecord::END);
        folder = run.Folder();
    }
    site.Write("tessary-redirects.conf", "# the user's own now\n");
    site.Write("never.html", "<p>the user's page</p>");
    std::vector<UndoOutcome> outcomes;
    ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes));
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].result, UndoOutcome::CHANGED);  // never.html: not what the run wrote
    EXPECT_EQ(outcomes[1].result, UndoOutcome::CHANGED);
    EXPECT_EQ(outcomes[2].result, UndoOutcome::UNDONE);
    EXPECT_EQ(outcomes[3].result, UndoOutcome::UNDONE);
    EXPECT_FALSE(std::filesystem::exists(site / "_redirects"));
    EXPECT_FALSE(std::filesystem::exists(site / "sub/page.html"));
    EXPECT_EQ(ReadFile(site / "tessary-redirects.conf"), "# the user's own now\n");
    EXPECT_EQ(ReadFile(site / "never.html"), "<p>the user's page</p>");
    EXPECT_EQ(ReadFile(site / "sub/page.htm"), "<p>page</p>\n");
}

// A run killed mid-batch: its last content change may be cut short and is given back whatever
// the file holds; changes recorded ahead and never made need nothing; a directory whose rename
// never happened is found by its identity, not by the name the record expected.
TEST(JournalUndo, AKilledRunIsUndoneWhereverItStopped) {
    CTempDir site, state;
    site.Write("a dir/Page.html", "<p>one</p>\r\n");
    site.Write("cut.html", "0123456789\r\n0123456789\r\n");
    site.Write("kept.html", "x\r\n");
    const std::string before = TreeListing(site.Path(), true);
    std::string folder;
    {
        CRecordedRun run(site, state / "runs");
        CDir& top = run.Top();
        std::unique_ptr<CDir> sub = top.OpenDir("a dir");
        // Renames recorded ahead, the directory under the name it was to get.
        JournalRecord dirRename = run.Rec(JournalRecord::RENAME, top, "", "a dir");
        dirRename.after = "A_DIR";
        run.Intend(dirRename);
        JournalRecord pageRename = run.Rec(JournalRecord::RENAME, *sub, "A_DIR", "Page.html");
        pageRename.after = "PAGE.HTM";
        run.Intend(pageRename);
        ASSERT_TRUE(sub->RenameNoReplace("Page.html", "PAGE.HTM"));  // the directory's failed
        run.Rewrite(top, "", "kept.html", "x\n");
        run.Mark(JournalRecord::WRITTEN);
        run.Rewrite(top, "", "cut.html", "0123456789\n0123456789\n");
        folder = run.Folder();
    }
    // The kill came halfway through writing cut.html, and after the run had made a temporary
    // link; the journal's folder names the run's process, which has ended.
    ASSERT_EQ(::truncate((site / "cut.html").c_str(), 5), 0);
    const std::string dead = std::to_string(EndedPid());
    const std::string renamed = folder.substr(0, folder.rfind('-') + 1) + dead;
    ASSERT_EQ(::rename(folder.c_str(), renamed.c_str()), 0);
    folder = renamed;
    ASSERT_EQ(::symlink("Page.html", (site / "a dir/.ts_link_" + dead + "_q1w2e3").c_str()), 0);
    site.Write(".ts_" + dead + "_aB3xYz", "half a pa");
    // Another run's leftover is that run's to clear, not this undo's.
    const std::string other = ".ts_" + std::to_string(EndedPid()) + "_zZ9yY8";
    site.Write(other, "another run's");
    std::vector<UndoOutcome> outcomes;
    ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes));
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].result, UndoOutcome::UNDONE);    // cut.html, in flight
    EXPECT_EQ(outcomes[1].result, UndoOutcome::UNDONE);    // kept.html, written
    EXPECT_EQ(outcomes[2].result, UndoOutcome::UNDONE);    // the page, found by identity
    EXPECT_EQ(outcomes[3].result, UndoOutcome::NOT_MADE);  // the directory's rename
    ASSERT_EQ(::unlink((site / other).c_str()), 0);
    EXPECT_EQ(TreeListing(site.Path(), true), before);

    // Undone twice, nothing changes and nothing is called changed by the user.
    ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes));
    for (const UndoOutcome& o : outcomes)
        EXPECT_EQ(o.result, UndoOutcome::NOT_MADE) << o.path;
    EXPECT_EQ(TreeListing(site.Path(), true), before);
}

}  // namespace ts::test

namespace ts::test {

// Undo never destroys the only copy of anything. A page edited after a crash cut its batch
// short gets its original back, but the edit is kept first, in a journal of the undo's own,
// which comes after the run in the tree's history only once the run's journal is gone; undoing
// it gives the edit back. An edit made after a whole run stays unless undo is forced, and the
// forced undo keeps it the same way.
TEST(JournalUndo, WhatUndoWritesOverIsKeptAndComesBackByUndoingTheUndo) {
    CTempDir site, state;
    site.Write("crashed.html", "<p>one</p>\r\n");
    site.Write("Later.html", "<p>two</p>\r\n");
    std::string folder;
    {
        CRecordedRun run(site, state / "runs");
        run.Rewrite(run.Top(), "", "Later.html", "<p>two</p>\n");
        run.Mark(JournalRecord::WRITTEN);
        run.Rename(run.Top(), "", "Later.html", "LATER.HTM");
        // The crash came inside this batch: no mark says it was written.
        run.Rewrite(run.Top(), "", "crashed.html", "<p>one</p>\n");
        folder = run.Folder();
    }
    site.Write("crashed.html", "<p>edited after the crash</p>\n");
    site.Write("LATER.HTM", "<p>edited after the run</p>\n");
    const std::string runs = state / "runs";
    std::vector<UndoOutcome> outcomes;
    ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes));
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].result, UndoOutcome::UNDONE);
    EXPECT_TRUE(outcomes[0].displaced);
    EXPECT_EQ(outcomes[2].result, UndoOutcome::CHANGED);  // Later.html's content
    EXPECT_EQ(ReadFile(site / "crashed.html"), "<p>one</p>\r\n");
    EXPECT_EQ(ReadFile(site / "Later.html"), "<p>edited after the run</p>\n");

    // The run's journal stays, partly undone, and is still the tree's last run.
    TreeKey key;
    ASSERT_TRUE(TreeKeyOf(RealFileSystem(), site.Path(), key));
    RunSummary last;
    ASSERT_TRUE(LastRun(RealFileSystem(), runs, key, last));
    EXPECT_EQ(last.folder, folder);
    EXPECT_EQ(last.state, "partly undone");

    // Forced, the later edit goes too, kept like the first.
    ASSERT_TRUE(UndoFromJournal(RealFileSystem(), folder, outcomes, true));
    EXPECT_EQ(ReadFile(site / "Later.html"), "<p>two</p>\r\n");
    ASSERT_TRUE(RemoveRun(RealFileSystem(), folder));
    EXPECT_EQ(ReadFile(site / "crashed.html"), "<p>one</p>\r\n");

    // Each undo's journal gives back what it kept, the last undo's first.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(LastRun(RealFileSystem(), runs, key, last));
        EXPECT_EQ(last.undoOf, BaseName(folder));
        EXPECT_EQ(last.state, "complete");
        ASSERT_TRUE(UndoFromJournal(RealFileSystem(), last.folder, outcomes));
        for (const UndoOutcome& o : outcomes)
            EXPECT_EQ(o.result, UndoOutcome::UNDONE) << o.path;
        ASSERT_TRUE(RemoveRun(RealFileSystem(), last.folder));
    }
    EXPECT_EQ(ReadFile(site / "crashed.html"), "<p>edited after the crash</p>\n");
    EXPECT_EQ(ReadFile(site / "Later.html"), "<p>edited after the run</p>\n");
    EXPECT_FALSE(LastRun(RealFileSystem(), runs, key, last));
}

}  // namespace ts::test
