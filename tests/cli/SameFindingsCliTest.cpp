// The machine-readable report of a site is the same every run, however far the threads that
// read pages ahead of the walk got: pages no link reaches add nothing to it, and it is byte for
// byte the report of a run on one thread. The text report names the same pages.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// A file whose reads fail after the first: a page read part-way.
class CCutFile : public CFile {
public:
    explicit CCutFile(std::unique_ptr<CFile> file) : m_file(std::move(file)) {}
    long long Read(void* buf, size_t n) override {
        if (m_bReadOnce) {
            errno = EIO;
            return -1;
        }
        m_bReadOnce = true;
        return m_file->Read(buf, n);
    }
    bool Write(const void* buf, size_t n) override { return m_file->Write(buf, n); }
    bool Seek(uint64_t offset) override { return m_file->Seek(offset); }
    bool Resize(uint64_t length) override { return m_file->Resize(length); }
    long long Length() override { return m_file->Length(); }
    bool Sync() override { return m_file->Sync(); }
    bool Close() override { return m_file->Close(); }

private:
    std::unique_ptr<CFile> m_file;
    bool m_bReadOnce = false;
};

// The real file system, read from several threads or not. After the scan's look at them, a
// page called "unreadable.html" no longer opens and one called "cut.html" cannot be read past
// its first block, so the parse meets both failures on whichever thread reads the page.
class CFailingPagesFileSystem : public CFileSystem {
public:
    explicit CFailingPagesFileSystem(bool concurrent) : m_bConcurrent(concurrent) {}

    bool ConcurrentReads() const override { return m_bConcurrent; }
    std::unique_ptr<CFile> OpenRead(const std::string& path) override {
        const bool unreadable = path.ends_with("/unreadable.html");
        const bool cut = path.ends_with("/cut.html");
        if ((unreadable || cut) && OpenedBefore(path)) {
            if (unreadable) {
                errno = EACCES;
                return nullptr;
            }
            std::unique_ptr<CFile> file = Real().OpenRead(path);
            return file ? std::make_unique<CCutFile>(std::move(file)) : nullptr;
        }
        return Real().OpenRead(path);
    }
    CResult Stat(const std::string& path, FileStat& st) override { return Real().Stat(path, st); }
    CResult ListDir(const std::string& dir, std::vector<std::string>& names) override {
        return Real().ListDir(dir, names);
    }
    std::unique_ptr<CFile> OpenWrite(const std::string& path) override {
        return Real().OpenWrite(path);
    }
    std::unique_ptr<CFile> OpenNew(const std::string& path) override {
        return Real().OpenNew(path);
    }
    std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                      std::string& path) override {
        return Real().CreateTemp(dir, prefix, path);
    }
    std::unique_ptr<CDir> OpenDir(const std::string& path) override { return Real().OpenDir(path); }
    CResult RenameNoReplace(const std::string& from, const std::string& to) override {
        return Real().RenameNoReplace(from, to);
    }
    CResult Remove(const std::string& path) override { return Real().Remove(path); }
    CResult ReadLink(const std::string& path, std::string& text) override {
        return Real().ReadLink(path, text);
    }
    CResult CanWriteIn(const std::string& dir) override { return Real().CanWriteIn(dir); }
    void BeginScan() override { Real().BeginScan(); }
    void EndScan() override { Real().EndScan(); }

private:
    static CFileSystem& Real() { return RealFileSystem(); }
    bool OpenedBefore(const std::string& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_opened[path]++ > 0;
    }

    bool m_bConcurrent;
    std::mutex m_mutex;
    std::map<std::string, int> m_opened;
};

constexpr int kReached = 120;
constexpr int kLost = 60;

// "a_lost" comes first in tree order, so the threads read its pages while the walk, which
// never gets there, works through "z". Every lost page has a syntax error, a fragment that
// names nothing and a missing target; so have some of the reached ones.
void WriteSite(const CTempDir& site) {
    std::string index = "<html><body>\n";
    for (int i = 0; i < kReached; ++i)
        index += "<a href=\"z/p" + std::to_string(i) + ".html\">page</a>\n";
    index += "<a href=\"z/unreadable.html\">locked</a> <a href=\"z/cut.html\">cut</a>\n";
    site.Write("index.html", index + "</body></html>\n");
    for (int i = 0; i < kReached; ++i) {
        std::string page = "<!DOCTYPE html>\n<h1 id=\"here\">" + std::to_string(i) + "</h1>\n";
        for (int k = 0; k < 40; ++k)
            page += "<p>Text <a href=\"p" + std::to_string((i + k + 1) % kReached) +
                    ".html#here\">next</a> and more text.</p>\n";
        if (i % 10 == 3) page += "<b <i>bold</i>\n";
        if (i % 15 == 4) page += "<a href=\"p0.html#nowhere\">gone</a> <a href=\"#gone\">x</a>\n";
        if (i % 20 == 5) page += "<img src=\"missing" + std::to_string(i) + ".png\">\n";
        site.Write("z/p" + std::to_string(i) + ".html", page);
    }
    const std::string broken =
        "<!DOCTYPE html>\n<p>lost <b <i>page</i></p>\n<a href=\"#nowhere\">self</a>\n"
        "<a href=\"../z/p1.html#nowhere\">far</a> <img src=\"gone.png\">\n";
    for (int i = 0; i < kLost; ++i)
        site.Write("a_lost/q" + std::to_string(i) + ".html", broken);
    site.Write("a_lost/unreadable.html", broken);
    site.Write("z/unreadable.html", broken);
    // Past the first block of a read: links, a syntax error and a base that a page read
    // part-way must not keep.
    std::string cut = "<!DOCTYPE html>\n<base href=\"../a_lost/\">\n<b <i>early</i>\n";
    while (cut.size() < 200 * 1024)
        cut += "<p><a href=\"q1.html#nowhere\">lost</a> <a href=\"nothing.html\">none</a></p>\n";
    site.Write("a_lost/cut.html", cut);
    site.Write("z/cut.html", cut);
}

// The report with the time of the run, if it gives one, masked.
std::string Masked(const std::string& report) {
    static const std::regex kTime("[0-9]{4}-[0-9]{2}-[0-9]{2}[T ][0-9:.]+Z?");
    return std::regex_replace(MaskDate(report), kTime, "<time>");
}

// The files of the JSON report's records of a kind (one record a line).
std::set<std::string> FilesOf(const std::string& json, const std::string& kind) {
    static const std::regex kFile("\"file\": ?\"([^\"]*)\"");
    std::set<std::string> files;
    std::istringstream lines(json);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.find("\"kind\":\"" + kind + "\"") == std::string::npos &&
            line.find("\"kind\": \"" + kind + "\"") == std::string::npos)
            continue;
        if (std::regex_search(line, m, kFile)) files.insert(m[1]);
    }
    return files;
}

// The pages of the text report's syntax-error lines, relative to the site as in the JSON.
std::set<std::string> SyntaxPagesOf(const std::string& text, const std::string& site) {
    static const std::regex kLine("line +[0-9]+ (/[^ ]+) +HTML syntax error");
    std::set<std::string> pages;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, kLine)) pages.insert(m[1].str().substr(site.size() + 1));
    }
    return pages;
}

}  // namespace

TEST(SameFindingsCli, PagesReadAheadAddOnlyWhatTheWalkTakes) {
    CTempDir site;
    WriteSite(site);
    auto run = [&](bool concurrent, const std::string& format) {
        CFailingPagesFileSystem fs(concurrent);
        CliResult r =
            RunCliWith({"--check-fragments", "--format", format, site.Path()}, "", false, fs);
        EXPECT_EQ(r.code, 1) << r.err;
        return Masked(r.out);
    };
    const std::string one = run(false, "json");
    const std::string lost = "a_lost/";
    // What the walk reached, and nothing of what it did not.
    for (const char* kind : {"syntax-error", "broken-fragment", "broken-link", "file-problem"}) {
        const std::set<std::string> files = FilesOf(one, kind);
        EXPECT_FALSE(files.empty()) << kind;
        for (const std::string& file : files)
            EXPECT_FALSE(file.starts_with(lost)) << kind << " " << file;
    }
    EXPECT_EQ(FilesOf(one, "file-problem"),
              (std::set<std::string>{"z/cut.html", "z/unreadable.html"}));
    EXPECT_EQ(FilesOf(one, "syntax-error").size(), static_cast<size_t>(kReached / 10));
    EXPECT_EQ(FilesOf(one, "unused-file").size(), static_cast<size_t>(kLost + 2));

    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: no threads";
    for (int i = 0; i < 20; ++i) {
        const std::string json = run(true, "json");
        ASSERT_EQ(json, one) << "run " << i << ": " << FilesOf(json, "syntax-error").size()
                             << " pages with syntax errors, "
                             << FilesOf(json, "broken-fragment").size() << " with fragments";
    }
    EXPECT_EQ(SyntaxPagesOf(run(true, "text"), site.Path()), FilesOf(one, "syntax-error"));
}

}  // namespace ts::test
