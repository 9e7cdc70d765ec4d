// Each file operation of a run that renames, converts line ends and rewrites links is made to
// fail in turn. Every time, the run must end cleanly and say what failed; every file must be
// either as it was or exactly as a step that the report lists made it; no temporary file may
// be left behind; and undo must give back the tree as it was before the run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "driver/TessaryDoc.h"
#include "html/Url.h"
#include "platform/Text.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"
#include "support/EnvVar.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"
#include "support/TextDiff.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

const std::vector<std::pair<Op, const char*>> kOps = {
    {Op::Stat, "Stat"},
    {Op::ListDir, "ListDir"},
    {Op::OpenRead, "OpenRead"},
    {Op::OpenWrite, "OpenWrite"},
    {Op::OpenNew, "OpenNew"},
    {Op::OpenAppend, "OpenAppend"},
    {Op::CreateTemp, "CreateTemp"},
    {Op::Read, "Read"},
    {Op::Write, "Write"},
    {Op::Seek, "Seek"},
    {Op::Sync, "Sync"},
    {Op::Close, "Close"},
    {Op::Rename, "Rename"},
    {Op::Replace, "Replace"},
    {Op::Remove, "Remove"},
    {Op::SetMode, "SetMode"},
    {Op::CanWrite, "CanWrite"},
    {Op::KeepMetadata, "KeepMetadata"},
    {Op::OpenDir, "OpenDir"},
};

// A small site with everything a run changes: names to shorten in nested directories (the
// directories too), pages linking to renamed files by every form of link, CR LF, CR and LF text
// files, a read-only file, a picture and an external link.
void WriteSite(const CTempDir& site) {
    site.Write("index.htm",
               "<html><head><title>Home</title></head><body>\r\n"
               "<a href=\"Sub Dir/Page One.html\">one</a>\r\n"
               "<a href=\"Sub Dir/Deep Dir/Leaf Page.html#top\">leaf</a> "
               "<img src=\"images/Photo Big.jpeg\">\r\n"
               "<a href=\"notes.txt\">notes</a> <a href=\"http://example.com/x\">ext</a>\r\n"
               "</body></html>\r\n");
    site.Write(
        "Sub Dir/Page One.html",
        "<p>One</p>\r\n<a href=\"../index.htm\">home</a>\r\n"
        "<a href=\"Deep Dir/Leaf Page.html\">leaf</a>\r\n"
        "<img src=\"../images/Photo Big.jpeg\">\r\n<a href=\"Old Mac Page.htm\">mac</a>\r\n");
    site.Write("Sub Dir/Deep Dir/Leaf Page.html",
               "<p>Leaf</p>\n<a href=\"../../index.htm\">home</a>\n"
               "<img src=\"/images/Photo Big.jpeg\"> <a href=\"../Page One.html#top\">up</a>\n"
               "<a href=\"Read Me Later.txt\">readme</a>\n");
    site.Write("Sub Dir/Deep Dir/Read Me Later.txt", "line one\r\nline two\r\n");
    site.Write("Sub Dir/Old Mac Page.htm", "<p>mac</p>\r<a href=\"Page One.html\">back</a>\r");
    site.Write("notes.txt", "plain notes\r\nsecond\r\n");
    ::chmod(site.Write("Locked File.txt", "locked\r\ntext\r\n").c_str(), 0444);
    site.Write("images/Photo Big.jpeg", std::string("\xff\xd8\xff\xe0JFIF\0\1binary\r\n", 18));
}

RunSettings Settings(const std::string& site) {
    RunSettings s = DefaultSettings(site, site + "/index.htm");
    s.Target = TFS_DOS_FAT;
    s.RenameHtml = WEB_EXT_WINDOWS;
    s.LineEnd = LE_UNIX;
    s.Rename = true;
    s.LogSubdirs = true;
    s.AutoReadOnly = 2;
    s.DeriveUpdateLinks();
    return s;
}

// Relative path -> content of every entry below root ("name/" -> "" for a directory), without
// what runs write for the user only.
using Snapshot = std::map<std::string, std::string>;

Snapshot Snap(const std::string& root) {
    Snapshot out;
    std::error_code ec;
    for (auto it = stdfs::recursive_directory_iterator(root, ec);
         it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = it->path().string().substr(root.size() + 1);
        std::string name = it->path().filename().string();
        if (name == "RENAME.LOG" || name == "report_of_external_refs.htm") continue;
        if (it->is_directory(ec))
            out[rel + "/"] = "";
        else
            out[rel] = ReadFile(it->path().string());
    }
    return out;
}

std::string Describe(const Snapshot& snap) {
    std::string out;
    for (const auto& [rel, content] : snap) {
        std::string shown;
        for (char c : content)
            shown += c == '\r'   ? std::string("\\r")
                     : c == '\n' ? std::string("\\n")
                                 : std::string(1, c);
        out += rel + (rel.ends_with("/") ? "" : " = " + shown) + "\n";
    }
    return out;
}

// One operation of the clean run: what it was, the path it named, the caption of the pass.
struct Call {
    Op op;
    std::string path;
    std::string pass;
};

// What the final report says was done.
struct Reported {
    std::map<std::string, std::string> renamed;  // full path as scanned -> new name
    std::set<std::string> converted;             // full path when converted
    struct Change {
        int line;
        std::string from, to;
    };
    std::map<std::string, std::vector<Change>> rewritten;  // full path when rewritten
};

Reported ParseReport(const std::string& report, const std::string& root) {
    Reported r;
    for (const std::string& line : SplitLines(ReportSection(report, "RENAMED FILES:"))) {
        size_t at = line.find("    " + root);
        if (at == std::string::npos) continue;
        std::string name = line.substr(0, at);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        r.renamed[line.substr(at + 4)] = name;
    }
    for (const std::string& line :
         SplitLines(ReportSection(report, "FILES WITH CHANGED LINE ENDINGS:"))) {
        if (size_t at = line.find(":  "); at != std::string::npos && line.find(" -> ") < at)
            r.converted.insert(line.substr(at + 3));
    }
    std::string current;
    std::vector<std::string> lines = SplitLines(ReportSection(report, "URL LINK RENAMING:"));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.starts_with("In file \"")) {
            current = line.substr(9, line.size() - 10);
            r.rewritten[current];
        } else if (line.starts_with("   line ") && i + 1 < lines.size()) {
            size_t colon = line.find(": ");
            std::string to = lines[++i].substr(std::string("   -------->  ").size());
            for (const char* tail : {" (case change)", "(reserved character encode)"}) {
                if (to.ends_with(tail)) to.resize(to.size() - std::string(tail).size());
            }
            r.rewritten[current].push_back(
                {std::stoi(line.substr(8, colon - 8)), line.substr(colon + 2), to});
        }
    }
    return r;
}

std::string ToUnix(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The page with the reported link changes made: on each line, each old link text (written
// unescaped in this site) is replaced by the escaped new one, left to right.
std::string ApplyChanges(std::string text, const std::vector<Reported::Change>& changes) {
    int cursorLine = 0;
    size_t cursor = 0;
    for (const auto& c : changes) {
        size_t pos = 0;
        int line = 1;
        while (line < c.line && pos < text.size()) {
            char ch = text[pos++];
            if (ch == '\n' || (ch == '\r' && (pos >= text.size() || text[pos] != '\n'))) ++line;
        }
        if (line == cursorLine) pos = std::max(pos, cursor);
        size_t at = text.find(c.from, pos);
        if (at == std::string::npos)
            return text + "\n<no link " + c.from + " on line " + std::to_string(c.line) + ">";
        std::string bytes = c.to;
        EncodeUrl(bytes);
        text.replace(at, c.from.size(), bytes);
        cursorLine = c.line;
        cursor = at + bytes.size();
    }
    return text;
}

// The tree as the reported steps make it from the original; steps that match no entry are
// listed in unmatched.
Snapshot ExpectedTree(const Snapshot& before, const std::string& root, const Reported& r,
                      std::vector<std::string>& unmatched) {
    Snapshot out;
    std::set<std::string> usedRenames, usedConversions, usedRewrites;
    for (const auto& [rel, content] : before) {
        bool dir = rel.ends_with("/");
        std::string path = dir ? rel.substr(0, rel.size() - 1) : rel;
        std::string orig = root, now;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string::npos) end = path.size();
            std::string part = path.substr(start, end - start);
            orig += "/" + part;
            if (auto it = r.renamed.find(orig); it != r.renamed.end()) {
                usedRenames.insert(orig);
                part = it->second;
            }
            now += (now.empty() ? "" : "/") + part;
            start = end + 1;
        }
        if (dir) {
            out[now + "/"] = "";
            continue;
        }
        std::string full = root + "/" + now;
        std::string text = content;
        if (r.converted.count(full)) {
            usedConversions.insert(full);
            text = ToUnix(text);
        }
        if (auto it = r.rewritten.find(full); it != r.rewritten.end()) {
            usedRewrites.insert(full);
            text = ApplyChanges(text, it->second);
        }
        out[now] = text;
    }
    for (const auto& [from, name] : r.renamed) {
        if (!usedRenames.count(from)) unmatched.push_back("rename of " + from);
    }
    for (const auto& path : r.converted) {
        if (!usedConversions.count(path)) unmatched.push_back("conversion of " + path);
    }
    for (const auto& [path, changes] : r.rewritten) {
        if (!usedRewrites.count(path)) unmatched.push_back("rewrite of " + path);
    }
    return out;
}

// What a failed operation must lead to.
// The path an entry has once the clean run's renames are made (its directories' too).
std::string RenamedPath(const std::string& path, const std::string& root, const Reported& clean) {
    if (!path.starts_with(root + "/")) return path;
    std::string orig = root, now = root;
    size_t start = root.size() + 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        orig += "/" + part;
        auto it = clean.renamed.find(orig);
        now += "/" + (it == clean.renamed.end() ? part : it->second);
        start = end + 1;
    }
    return now;
}

// What one failed operation must lead to.
struct Expectation {
    std::string reportText;        // text the final report must hold (an error line mostly)
    std::string message;           // a message box the run must show
    bool noReport = false;         // the run ends before a report is due
    bool earlyEnd = false;         // the home page cannot be found: the run stops there
    bool reportMoved = false;      // no final report: STATUS.TSY and ERROR.TSY are left instead
    bool readBackFailed = false;   // the final report was written but cannot be shown
    bool lowMemory = false;        // the run is interrupted as by a lack of memory
    bool statusLost = false;       // the final report lacks (part of) the status report
    std::string otherErrors;       // further error lines may end in this (a lasting failure)
    bool journalNotEnded = false;  // the run's journal lacks its end, and the report says so
    int leftoverReport = -1;       // the temporary report whose removal failed (0, 1, 2)
};

class FaultInjection : public ::testing::Test {
protected:
    // Several hundred runs sync their rewritten files: in memory, where a disk is busy.
    static const char* MemoryTemp() {
        struct stat st;
        return ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) &&
                       ::access("/dev/shm", W_OK) == 0
                   ? "/dev/shm"
                   : std::getenv("TMPDIR");
    }
    CEnvVar m_tmpdir{"TMPDIR", MemoryTemp()};

    struct Paths {
        std::string site, tmp;
    };

    void SetUp() override {
        CTempDir site;
        WriteSite(site);
        m_before = Snap(site.Path());
        RecordCleanRun();
    }

    // The clean run: every operation in order, with its path (relative to the run's
    // directories, which differ from run to run) and the pass it belongs to.
    void RecordCleanRun() {
        CTempDir site, tmp, state;
        CEnvVar stateHome("XDG_STATE_HOME", state.Path().c_str());
        WriteSite(site);
        CFaultyFileSystem fs;
        fs.ignoredDir = state.Path();
        CScriptedUi ui;
        fs.onCall = [&](Op op, const std::string& path) {
            m_trace.push_back({op, Relative(path, {site.Path(), tmp.Path()}),
                               ui.captions.empty() ? "" : ui.captions.back()});
        };
        ui.settings = Settings(site.Path());
        auto doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
        std::string report = Lf(ui.viewText);
        ASSERT_NE(report.find("REPORT FROM SUCCESSFUL PASS"), std::string::npos) << report;
        ASSERT_EQ(report.find("write failed"), std::string::npos) << report;
        for (const std::string& t : fs.tempsCreated) {
            if (t.starts_with(tmp.Path() + "/"))
                m_cleanReports.push_back(Relative(t, {site.Path(), tmp.Path()}));
        }
        ASSERT_EQ(m_cleanReports.size(), 3u);  // status, error, final
        m_clean = ParseReport(Relative(report, {site.Path(), tmp.Path()}), "@site");
        // Every kind of step is there to fail.
        ASSERT_EQ(m_clean.renamed.size(), 11u);
        ASSERT_EQ(m_clean.converted.size(), 6u);
        ASSERT_EQ(m_clean.rewritten.size(), 4u);
        std::vector<std::string> unmatched;
        ExpectedTree(m_before, "@site", m_clean, unmatched);
        ASSERT_TRUE(unmatched.empty());
        m_cleanAfter = Snap(site.Path());
        for (size_t i = 0; i < m_trace.size(); ++i)
            m_callsOf[m_trace[i].op].push_back(i);
    }

    static std::string Relative(std::string text, const Paths& p) {
        for (auto [from, to] : {std::pair{p.site, "@site"}, std::pair{p.tmp, "@tmp"}}) {
            for (size_t at = text.find(from); at != std::string::npos;
                 at = text.find(from, at + std::string(to).size()))
                text.replace(at, from.size(), to);
        }
        return text;
    }
    static std::string Local(const std::string& path, const Paths& p) {
        if (path.starts_with("@site")) return p.site + path.substr(5);
        if (path.starts_with("@tmp")) return p.tmp + path.substr(4);
        return path;
    }

    // The file a temporary file of the site stands in for: the one opened for reading last.
    std::string CurrentFile(size_t at) const {
        for (size_t i = at; i-- > 0;) {
            if (m_trace[i].op == Op::OpenRead && m_trace[i].path.starts_with("@site"))
                return m_trace[i].path;
        }
        return "?";
    }

    // The call that opened the file that call `at` works on.
    std::optional<Op> OpenedWith(size_t at) const {
        for (size_t i = at; i-- > 0;) {
            const Call& c = m_trace[i];
            if (c.path == m_trace[at].path && (c.op == Op::OpenRead || c.op == Op::OpenWrite ||
                                               c.op == Op::OpenNew || c.op == Op::OpenAppend))
                return c.op;
        }
        return std::nullopt;
    }

    // The next call on the path of call `at`.
    std::optional<Op> NextOn(size_t at) const {
        for (size_t i = at + 1; i < m_trace.size(); ++i)
            if (m_trace[i].path == m_trace[at].path) return m_trace[i].op;
        return std::nullopt;
    }

    // Whether a file changed in place was sought since it was opened: the new content is made
    // from a read straight from its start, the journal seeks back to keep the original.
    bool SoughtSinceOpen(size_t at) const {
        for (size_t i = at; i-- > 0;) {
            if (m_trace[i].path != m_trace[at].path) continue;
            if (m_trace[i].op == Op::OpenWrite) return false;
            if (m_trace[i].op == Op::Seek) return true;
        }
        return false;
    }

    // How many calls like call `at` (operation, path and pass) come up to it, itself included.
    int NthAlike(size_t at) const {
        const Call& c = m_trace[at];
        int n = 0;
        for (size_t i = 0; i <= at; ++i)
            if (m_trace[i].op == c.op && m_trace[i].path == c.path && m_trace[i].pass == c.pass)
                ++n;
        return n;
    }

    // The last sync of the whole site: the one that lets the journal record the run's end.
    size_t EndingSync() const {
        size_t last = m_trace.size();
        for (size_t i : m_callsOf.at(Op::Sync))
            if (m_trace[i].path == "@site") last = i;
        return last;
    }

    // Which temporary report a path of the temporary directory is: 0 status, 1 error, 2 final.
    int ReportKind(size_t at) const {
        const Call& c = m_trace[at];
        if (c.op != Op::CreateTemp)
            return static_cast<int>(
                std::find(m_cleanReports.begin(), m_cleanReports.end(), c.path) -
                m_cleanReports.begin());
        int kind = -1;
        for (size_t i = 0; i <= at; ++i) {
            if (m_trace[i].op == Op::CreateTemp && m_trace[i].path.starts_with("@tmp")) ++kind;
        }
        return kind;
    }

    // Derives from the operation and the file it hit what the failure of call `at` of the clean
    // run must lead to, with the paths of the run p.
    Expectation Expect(size_t at, bool throws, const Paths& p, bool lasting = false) const {
        const Call& c = m_trace[at];
        Expectation e;
        // The line up to its text: a failed call that set errno adds its cause after it.
        auto error = [&](const std::string& path, int id) {
            e.reportText = ErrorLine(Local(path, p), LoadString(id));
            e.reportText.pop_back();
        };
        const std::string name = BaseName(c.path);
        const std::string home = "@site/index.htm";
        const std::string page = "@site/report_of_external_refs.htm";
        const bool scanning = c.pass == "Scanning Files" || c.pass.empty();

        if (c.path.starts_with("@tmp/") || name == "REPORT.TSY") {
            // The temporary reports, and the free name the report would get in the editor.
            int kind = name == "REPORT.TSY" ? 2 : ReportKind(at);
            if (c.op == Op::CreateTemp && kind < 2) {
                e.noReport = true;
                std::string text =
                    LoadString(kind == 0 ? IDS_CREATE_STATUS_REPORT : IDS_CREATE_ERROR_REPORT);
                if (throws)
                    text = std::string(LoadString(IDS_LOW_MEMORY)) + "\n\n" +
                           LoadString(IDS_NO_REPORT);
                e.message = text;
            } else if (c.op == Op::Remove) {
                e.leftoverReport = kind;
            } else if (throws) {
                // The reports are written as the run ends (a large one also on the way) and
                // read back while the final report is made: either way the run cannot report,
                // and leaves its temporary reports.
                e.reportMoved = true;
            } else if (kind == 2 && c.op == Op::Stat) {
                // The report's name is free: nothing to say.
            } else if (kind == 2) {
                if (c.op == Op::OpenRead || c.op == Op::Read)
                    e.readBackFailed = true;
                else if (c.op != Op::Write || lasting)  // a write that fails once is repeated
                    e.reportMoved = true;
            } else if (c.op == Op::OpenRead) {
                e.statusLost = kind == 0;
                e.reportText =
                    LoadString(kind == 0 ? IDS_ERR_OPEN_STATUS_REPORT : IDS_ERR_OPEN_ERROR_REPORT);
            } else if (c.op == Op::Read) {
                e.statusLost = kind == 0;
                e.reportText =
                    LoadString(kind == 0 ? IDS_ERR_READ_STATUS_REPORT : IDS_ERR_READ_ERROR_REPORT);
            }
            // A write of the status or error report that fails once is written again with the
            // next line: the report is whole, nothing to say.
            return e;
        }
        // The run's end goes to its journal once the site is on the disk; the journals of the
        // site's earlier runs are pruned after it, silently. Both come after the passes, where
        // a lack of memory interrupts nothing that the report would have to tell, but the end
        // that could not be recorded.
        if (c.path == "@site" && at >= EndingSync() && (c.op == Op::Sync || c.op == Op::OpenDir)) {
            e.journalNotEnded = c.op == Op::Sync;
            return e;
        }
        if (throws) {
            if (c.path == "@site" && c.pass.empty()) {
                // Before the tree exists nothing is reported.
                e.noReport = true;
                e.message =
                    std::string(LoadString(IDS_LOW_MEMORY)) + "\n\n" + LoadString(IDS_NO_REPORT);
            } else {
                e.lowMemory = true;
            }
            return e;
        }

        if (c.op == Op::OpenDir && c.path == "@site" && c.pass.empty()) {
            // The site's identity is needed twice before the run: first to find its last run
            // (none is found), then to name the new run's journal, without which nothing may
            // change.
            if (NthAlike(at) == 2) {
                e.noReport = true;
                e.message = FormatMessage(IDS_JOURNAL_CREATE_FAILED, JournalsDirectory(),
                                          std::strerror(EIO));
            }
            return e;
        }

        // The external-URL page is written to a temporary file beside its place: a failure
        // there is the page's, and named so. Its temporary file is made just before its pass
        // begins: the file's next call tells.
        const Call& onTemp =
            c.op == Op::CreateTemp && at + 1 < m_trace.size() ? m_trace[at + 1] : c;
        const bool pageTemp =
            name.starts_with(".ts_") && onTemp.pass == "Reporting External URL References";
        const bool temp = name.starts_with(".ts_") && !pageTemp;
        if (pageTemp) {
            // Whatever fails, the page is not put in place, and is named (a write that fails
            // once is written again with the next line).
            if (c.op == Op::CreateTemp)
                error(page, IDS_OPEN_FAILED);
            else if (c.op != Op::Write || lasting)
                error(page, IDS_WRITE_FAILED);
            return e;
        }
        const std::string file = CurrentFile(at);
        // Content is changed in the file itself, which the writer opens for modifying.
        const bool inPlace = c.path.starts_with("@site/") && OpenedWith(at) == Op::OpenWrite;
        switch (c.op) {
            case Op::Stat:
            case Op::ListDir:
            case Op::OpenRead:
            case Op::OpenDir:
                error(c.path, IDS_OPEN_FAILED);
                // The file could not be checked before its mode was changed, so it stays
                // read-only, and says so too.
                if (c.op == Op::Stat && !c.pass.empty() && name == "Locked File.txt")
                    e.otherErrors = std::string("    ") + LoadString(IDS_READ_ONLY_FAILED);
                break;
            case Op::Read:
            case Op::Seek:
                if (inPlace && c.op == Op::Seek && NextOn(at) == Op::Write)
                    error(c.path, IDS_UPDATE_FAILED_KEPT);  // the batch's write begins
                else if (inPlace && (c.op == Op::Seek || SoughtSinceOpen(at)))
                    error(c.path, IDS_JOURNAL_FAILED);  // the original being kept
                else
                    error(c.path, IDS_READ_FAILED);
                break;
            case Op::OpenWrite:
            case Op::OpenNew:
            case Op::OpenAppend:
                if (name == "RENAME.LOG")
                    e.message = FormatMessage(IDS_LOG_CREATE_FAILED, Local(DirName(c.path), p));
                else
                    error(c.path, IDS_OPEN_FAILED);
                break;
            case Op::CreateTemp:
                error(file, IDS_TEMP_OPEN_FAILED);
                break;
            case Op::Write:
            case Op::Sync:
            case Op::Close:
                if (c.op == Op::Write && inPlace) {
                    // The original is written back from the journal.
                    error(c.path, IDS_UPDATE_FAILED_KEPT);
                } else if (c.op == Op::Sync && c.path == "@site") {
                    // A batch not known to be on the disk is a failure, and undo checks its
                    // files' content.
                    error("@site", IDS_SYNC_FAILED);
                } else if (temp) {
                    error(file, IDS_TEMP_WRITE_FAILED);
                } else if (c.op != Op::Write || lasting) {
                    // The external-URL page or a log (a line that fails once is written again
                    // with the next one).
                    error(RenamedPath(c.path, "@site", m_clean), IDS_WRITE_FAILED);
                    if (lasting) e.otherErrors = std::string("    ") + LoadString(IDS_WRITE_FAILED);
                }
                break;
            case Op::SetMode:
                error(temp ? file : c.path, temp ? IDS_UPDATE_FAILED_KEPT : IDS_READ_ONLY_FAILED);
                break;
            case Op::Replace:
                error(c.path, IDS_UPDATE_FAILED_KEPT);
                break;
            case Op::KeepMetadata:
                error(file, IDS_METADATA_NOT_KEPT);
                break;
            case Op::Rename:
                e.reportText = "Error renaming \"" + Local(c.path, p) + "\" to \"";
                break;
            default:
                ADD_FAILURE() << "no expectation for this call: " << c.path;
        }
        // Without the top directory or the home page there is no site to follow.
        if (scanning && (c.path == "@site" || c.path == home)) e.earlyEnd = true;
        return e;
    }

    enum Mode { FAIL_ONCE, FAIL_FROM, THROW };

    // One run with the nth call of op failing (or every call from the nth, or throwing), the
    // checks of its outcome, and the undo that must follow it.
    // Only calls on a path holding pathPart count, and fail.
    void Trial(Op op, const char* opName, int nth, Mode mode, const std::string& pathPart = "") {
        std::vector<size_t> calls;
        for (size_t i : m_callsOf[op])
            if (m_trace[i].path.find(pathPart) != std::string::npos) calls.push_back(i);
        size_t at = calls[static_cast<size_t>(nth - 1)];
        const Call& hit = m_trace[at];
        CTempDir site, tmp, state;
        // A journal of an earlier trial, whose site may have had this one's inode, would be taken
        // for this site's last run.
        CEnvVar stateHome("XDG_STATE_HOME", state.Path().c_str());
        WriteSite(site);
        Paths p{site.Path(), tmp.Path()};
        Expectation e = Expect(at, mode == THROW, p, mode == FAIL_FROM);
        // A disk that fills up: no report can be whole.
        const bool diskFull = mode == FAIL_FROM && pathPart.empty();
        if (diskFull) {
            e = Expectation();
            e.reportMoved = true;
        }
        std::string where = Format("%s %s #%d (%s, pass \"%s\")",
                                   mode == THROW       ? "throw on"
                                   : mode == FAIL_FROM ? "fail from"
                                                       : "fail",
                                   opName, nth, hit.path.c_str(), hit.pass.c_str());

        CFaultyFileSystem fs;
        fs.ignoredDir = state.Path();
        if (mode == THROW)
            fs.ThrowOn(op, nth);
        else if (mode == FAIL_FROM)
            fs.FailFrom(op, nth, pathPart);
        else
            fs.FailOn(op, nth);
        CScriptedUi ui;
        ui.settings = Settings(site.Path());
        auto doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
        std::vector<std::string> reports;
        for (const std::string& t : fs.tempsCreated) {
            if (t.starts_with(tmp.Path() + "/")) reports.push_back(t);
        }

        // A journal left without its end makes the next run of the site refuse to start: only
        // a run that says so may leave one.
        TreeKey key;
        ASSERT_TRUE(TreeKeyOf(RealFileSystem(), site.Path(), key)) << where;
        const std::vector<std::string> runs =
            RunFolders(RealFileSystem(), JournalsDirectory(), key);
        RunSummary last;
        const bool unended = !runs.empty() && ReadRunSummary(RealFileSystem(), runs.back(), last) &&
                             last.state.empty();
        EXPECT_EQ(unended, e.journalNotEnded)
            << where << ": journals " << ::testing::PrintToString(runs);
        if (e.journalNotEnded && unended) {
            // The line names the journal's folder, which is known only now.
            e.reportText = ErrorLine(runs.back(), LoadString(IDS_JOURNAL_FAILED));
        }

        std::string report = Lf(ui.viewText);
        const std::vector<std::string>& messages = ui.messages;
        auto shown = [&](const std::string& text, bool prefix = false) {
            return std::any_of(messages.begin(), messages.end(), [&](const std::string& m) {
                return prefix ? m.starts_with(text) : m == text;
            });
        };
        const std::string msgs = "\nmessages: " + ::testing::PrintToString(messages);

        // The run ended cleanly and said what failed. The steps it reports are checked against
        // the tree below, from the final report or from the status report left in its place.
        if (!e.message.empty()) {
            EXPECT_TRUE(shown(e.message)) << where << msgs;
        }
        if (e.noReport) {
            // Only a message, in a box and (after an interruption) in the view.
            EXPECT_TRUE(report.empty() || report == Lf(e.message)) << where << "\n" << report;
        } else if (e.reportMoved) {
            EXPECT_TRUE(shown(FormatMessage(IDS_REPORT_MOVED, site.Path()))) << where << msgs;
            EXPECT_TRUE(Exists(site / "STATUS.TSY") && Exists(site / "ERROR.TSY")) << where;
            report = Lf(ReadFile(site / "STATUS.TSY"));
            std::remove((site / "STATUS.TSY").c_str());
            std::remove((site / "ERROR.TSY").c_str());
        } else if (e.readBackFailed) {
            ASSERT_EQ(reports.size(), 3u) << where;
            EXPECT_EQ(report, Lf(FormatMessage(IDS_REPORT_READ_BACK, reports[2]))) << where;
            // The report stays where the message says.
            report = Lf(ReadFile(reports[2]));
            std::remove(reports[2].c_str());
        } else if (e.lowMemory) {
            EXPECT_TRUE(shown(LoadString(IDS_LOW_MEMORY), true)) << where << msgs;
            EXPECT_TRUE(report.starts_with(LoadString(IDS_TITLE_PARTIAL_OTHER))) << where << "\n"
                                                                                 << report;
        } else {
            int title = e.earlyEnd ? IDS_TITLE_PARTIAL_USER : IDS_TITLE_SUCCESS;
            EXPECT_TRUE(report.starts_with(LoadString(title))) << where << "\n" << report;
            if (!e.reportText.empty()) {
                EXPECT_NE(report.find(e.reportText), std::string::npos)
                    << where << "\nexpected: " << e.reportText << "\n"
                    << report;
            }
            if (e.earlyEnd) {
                EXPECT_NE(report.find(FormatMessage(IDS_HOME_NOT_FOUND, site / "index.htm")),
                          std::string::npos)
                    << where << "\n"
                    << report;
            }
            // The summary speaks of file errors exactly when the report lists some (or says
            // that their list cannot be opened).
            auto has = [&](int id) { return report.find(LoadString(id)) != std::string::npos; };
            EXPECT_EQ(has(IDS_SUMMARY_FILE_ERRORS),
                      has(IDS_SPECIAL_HEADING) || has(IDS_ERR_OPEN_ERROR_REPORT))
                << where << "\n"
                << report;
            // Nothing but the failure made is reported as an error (besides the read-only file
            // made writable, which every run reports); a failure with nothing to say, none.
            std::string errors = ReportSection(report, LoadString(IDS_SPECIAL_HEADING));
            std::string expected =
                ErrorLine(site / "Locked File.txt", LoadString(IDS_READ_ONLY_CONVERTED));
            if (errors.starts_with("<no section")) errors.clear();
            for (const std::string& line : SplitLines(errors)) {
                if (!e.otherErrors.empty() && line.ends_with(e.otherErrors)) continue;
                if (!line.empty() && line + "\n" != expected) {
                    EXPECT_TRUE(!e.reportText.empty() &&
                                (line + "\n").find(e.reportText) != std::string::npos)
                        << where << ": other error line " << line;
                }
            }
        }

        // No temporary file is left, but the report whose removal was made to fail.
        for (const auto& [rel, content] : Snap(site.Path())) {
            std::string entry = BaseName(rel.ends_with("/") ? rel.substr(0, rel.size() - 1) : rel);
            EXPECT_FALSE(entry.starts_with(".ts_") || entry == "STATUS.TSY")
                << where << ": left " << rel;
        }
        std::string left;
        if (e.leftoverReport >= 0 && static_cast<size_t>(e.leftoverReport) < reports.size()) {
            left = BaseName(reports[static_cast<size_t>(e.leftoverReport)]) + "\n";
            std::string inTmp = ListNames(tmp.Path());
            EXPECT_EQ(inTmp, left) << where;
            std::remove(reports[static_cast<size_t>(e.leftoverReport)].c_str());
        } else {
            EXPECT_EQ(ListNames(tmp.Path()), "") << where;
        }

        // Every file is as it was or as a reported step made it.
        Snapshot after = Snap(site.Path());
        if (diskFull || e.statusLost) {
            // The report lacks steps (those made after the writes began to fail, or the whole
            // status report when it cannot be read back, which the report says): each entry has
            // its old or its new name, and its old content or one the clean run gave it.
            ExpectEachEntryOldOrNew(after, where, diskFull);
        } else {
            std::vector<std::string> unmatched;
            Snapshot expected =
                ExpectedTree(m_before, site.Path(), ParseReport(report, site.Path()), unmatched);
            EXPECT_EQ(Describe(after), Describe(expected)) << where << "\n" << report;
            EXPECT_TRUE(unmatched.empty()) << where << ": " << ::testing::PrintToString(unmatched);
        }

        // Undo, with the faults gone, gives back the tree as it was.
        fs.Clear();
        ui.messages.clear();
        doc->UndoLast();
        EXPECT_EQ(Describe(Snap(site.Path())), Describe(m_before)) << where << " (undo)\n"
                                                                   << Lf(ui.viewText);
        EXPECT_EQ(ListNames(tmp.Path()), "") << where << " (undo)";
        if (Lf(ui.viewText).starts_with(LoadString(IDS_TITLE_REVERTED))) {
            EXPECT_EQ(Lf(ui.viewText).find(LoadString(IDS_SPECIAL_HEADING)), std::string::npos)
                << where << " (undo)\n"
                << Lf(ui.viewText);
        }
    }

    // Each entry of the tree is one of the site's entries under its old or new name, with its
    // old content, its converted content or its content after the clean run. When writes keep
    // failing, a file changed in place may also hold new content over the old, not yet cut to
    // its length: the original could not be written back either (the run says the file was
    // left damaged, and undo must give it back).
    void ExpectEachEntryOldOrNew(const Snapshot& after, const std::string& where,
                                 bool writesKeepFailing) {
        // Relative path of an entry (old or new names mixed) -> its original relative path.
        std::map<std::string, std::string> known;
        std::map<std::string, std::set<std::string>> allowed;
        for (const auto& [rel, content] : m_before) {
            bool dir = rel.ends_with("/");
            std::string path = dir ? rel.substr(0, rel.size() - 1) : rel;
            std::vector<std::string> names;
            for (size_t s = 0, e; s <= path.size(); s = e + 1) {
                e = path.find('/', s);
                if (e == std::string::npos) e = path.size();
                names.push_back(path.substr(s, e - s));
            }
            std::vector<std::string> forms{""};
            std::string orig = "@site";
            for (const std::string& n : names) {
                orig += "/" + n;
                std::vector<std::string> next;
                auto it = m_clean.renamed.find(orig);
                for (const std::string& f : forms) {
                    next.push_back(f + (f.empty() ? "" : "/") + n);
                    if (it != m_clean.renamed.end())
                        next.push_back(f + (f.empty() ? "" : "/") + it->second);
                }
                forms = next;
            }
            std::string renamed = RenamedPath("@site/" + path, "@site", m_clean).substr(6);
            for (const std::string& f : forms)
                known[f + (dir ? "/" : "")] = rel;
            if (dir) continue;
            const std::string converted = ToUnix(content), rewritten = m_cleanAfter.at(renamed);
            allowed[rel] = {content, converted, rewritten};
            if (!writesKeepFailing) continue;
            for (const auto& [older, newer] :
                 {std::pair{content, converted}, {converted, rewritten}, {content, rewritten}}) {
                if (newer.size() < older.size())
                    allowed[rel].insert(newer + older.substr(newer.size()));
            }
        }
        std::set<std::string> seen;
        for (const auto& [rel, content] : after) {
            auto it = known.find(rel);
            if (it == known.end()) {
                ADD_FAILURE() << where << ": unknown entry " << rel;
                continue;
            }
            EXPECT_TRUE(seen.insert(it->second).second) << where << ": twice " << it->second;
            if (!rel.ends_with("/")) {
                EXPECT_TRUE(allowed[it->second].count(content))
                    << where << ": " << rel << " holds\n"
                    << content;
            }
        }
        EXPECT_EQ(seen.size(), m_before.size()) << where;
    }

    Snapshot m_before;      // the site before any run
    Snapshot m_cleanAfter;  // the site after the clean run
    std::vector<Call> m_trace;
    std::map<Op, std::vector<size_t>> m_callsOf;
    std::vector<std::string> m_cleanReports;
    Reported m_clean;
};

// Call indexes to fail for an operation called count times: every one up to 120, then about
// forty spread over the rest, and the last.
std::vector<int> Sample(size_t count) {
    std::vector<int> out;
    int n = static_cast<int>(count);
    for (int i = 1; i <= std::min(n, 120); ++i)
        out.push_back(i);
    if (n > 120) {
        int step = std::max(1, (n - 120) / 40);
        for (int i = 120 + step; i < n; i += step)
            out.push_back(i);
        out.push_back(n);
    }
    return out;
}

TEST_F(FaultInjection, EveryOperationOfARunFailsInTurn) {
    std::string coverage;
    int runs = 0;
    for (const auto& [op, name] : kOps) {
        std::vector<int> sample = Sample(m_callsOf[op].size());
        for (int nth : sample)
            Trial(op, name, nth, FAIL_ONCE);
        runs += static_cast<int>(sample.size());
        coverage += Format("  %-10s %4zu calls, %3zu failed in turn\n", name, m_callsOf[op].size(),
                           sample.size());
        if (HasFailure()) break;
    }
    std::cout << runs << " runs, each with one failed operation:\n" << coverage;
}

// A disk that fills up: every write from one on fails. The reports cannot be whole, so the run
// says so and leaves what it could write; the tree stays sound and undo still restores it.
TEST_F(FaultInjection, EveryWriteFromOneOnFails) {
    std::vector<int> sample = Sample(m_callsOf[Op::Write].size());
    for (int nth : sample) {
        Trial(Op::Write, "Write", nth, FAIL_FROM);
        if (HasFailure()) break;
    }
    std::cout << sample.size() << " runs, each with every write failing from one on\n";
}

// A log or the external-URL page whose writes keep failing from one line on: the run goes on
// and reports each file that could not be written.
TEST_F(FaultInjection, LogsAndThePageThatCannotBeWritten) {
    int runs = 0;
    // The page is written to a temporary file beside its place first.
    for (const char* part : {"RENAME.LOG", "/.ts_"}) {
        size_t count = 0;
        for (size_t i : m_callsOf[Op::Write])
            if (m_trace[i].path.find(part) != std::string::npos) ++count;
        ASSERT_GT(count, 0u);
        for (int nth = 1; nth <= static_cast<int>(count); ++nth, ++runs)
            Trial(Op::Write, "Write", nth, FAIL_FROM, part);
    }
    std::cout << runs << " runs, each with the writes of a log or the page failing from one on\n";
}

// Operations that run out of memory: the run is interrupted, reports what it did, and undo
// restores the tree. (Removing and closing files also happen while cleaning up, where nothing
// may throw, so they are left out.)
TEST_F(FaultInjection, EveryOperationThrowsInTurn) {
    std::string coverage;
    int runs = 0;
    for (const auto& [op, name] : kOps) {
        if (op == Op::Remove || op == Op::Close) continue;
        std::vector<int> sample = Sample(m_callsOf[op].size());
        for (int nth : sample)
            Trial(op, name, nth, THROW);
        runs += static_cast<int>(sample.size());
        coverage += Format("  %-10s %4zu calls, %3zu thrown in turn\n", name, m_callsOf[op].size(),
                           sample.size());
        if (HasFailure()) break;
    }
    std::cout << runs << " runs, each with one operation out of memory:\n" << coverage;
}

}  // namespace
}  // namespace ts::test
