// A scan that examines entries on several threads, and pages parsed and reported on other
// threads ahead of the walks, give the very report that one thread gives: the same lines in
// the same order, errors and syntax errors included.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <new>
#include <regex>
#include <thread>

#include "base/Findings.h"
#include "base/Strings.h"
#include "html/LinkSite.h"
#include "html/PagesAhead.h"
#include "html/PassJobs.h"
#include "platform/Text.h"
#include "platform/Threads.h"
#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// The real file system, read from several threads or not, with one page that cannot be
// opened. Its reads keep no state, so the threads may share it.
class CSharedFileSystem : public CFaultyFileSystem {
public:
    bool concurrent = true;
    // The nth opening of a path ending so runs out of memory (the first is the scan's).
    std::string failOn;
    int failAt = 0;
    std::atomic<int> opened{0};
    // Another path ending that no longer opens (set after a scan, before the threads start).
    std::string lockedToo;

    bool ConcurrentReads() const override { return concurrent; }
    std::unique_ptr<CFile> OpenRead(const std::string& path) override {
        if (!failOn.empty() && path.ends_with(failOn) && ++opened == failAt) throw std::bad_alloc();
        if (path.ends_with("/locked.html") || (!lockedToo.empty() && path.ends_with(lockedToo))) {
            errno = EACCES;
            return nullptr;
        }
        return RealFileSystem().OpenRead(path);
    }
};

// Pages linked out of tree order, so that the walk and the threads meet in the middle.
void WriteSite(const CTempDir& top) {
    constexpr int kPages = 400;  // over 48 entries a directory: the scan uses threads too
    auto name = [](int i) { return Format("sec%d/Page %d.html", i % 7, i); };
    top.Write("index.html", "<a href=\"sec1/Page 1.html\">1</a><a href='sec0/locked.html'>x</a>\n");
    top.Write("sec0/locked.html", "<a href=\"../index.html\">home</a>\n");
    top.Write("img/Logo.PNG", "png");
    for (int i = 1; i < kPages; ++i) {
        std::string page = "<!DOCTYPE html>\n<title>" + std::to_string(i) + "</title>\n";
        for (int k : {i * 7 % kPages, (i * 13 + 5) % kPages, (i + 1) % kPages})
            page += "<a href=\"../" + name(k) + "\">next</a>\n";
        page += "<img src=../img/logo.png srcset=\"../img/Logo.PNG 2x, missing.png 3x\">\n";
        if (i % 9 == 0) page += "<b <i>broken</i>\n";
        if (i % 11 == 0) page += "<a href=\"nowhere/" + std::to_string(i) + ".html\">gone</a>\n";
        top.Write(name(i), page);
    }
}

}  // namespace

TEST(PagesAhead, ThreadsGiveTheReportOfOneThread) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: no threads";
    CTempDir top, tmp;
    WriteSite(top);
    auto report = [&](bool concurrent, RunSettings settings, int failAt = 0) {
        CSharedFileSystem fs;
        fs.concurrent = concurrent;
        fs.failOn = "/sec1/Page 8.html";
        fs.failAt = failAt;
        CScriptedUi ui;
        ui.settings = settings;
        auto doc = MakeDoc(fs, ui, tmp.Path());
        doc->CheckDirectory();
        // A report this long is shown by its path; each run's file gets a name of its own.
        const std::string& shown = ui.viewText;
        const std::string last = shown.substr(shown.rfind('\n') + 1);
        std::string text = last.ends_with(".TSY") ? ReadFile(last) : shown;
        for (const std::string& m : ui.messages)
            text += "\n[message] " + m;
        static const std::regex kNumbered("REPORT_[0-9]+\\.TSY");
        return std::regex_replace(MaskDate(text), kNumbered, "REPORT.TSY");
    };
    RunSettings check = DefaultSettings(top.Path(), top.Path() + "/index.html");
    RunSettings dos = check;
    dos.Target = TFS_DOS_FAT;
    for (const RunSettings& settings : {check, dos}) {
        const std::string one = report(false, settings);
        // Every kind of line the threads hold back for the walk is there.
        EXPECT_NE(one.find("no closing"), std::string::npos);
        EXPECT_NE(one.find("locked.html"), std::string::npos);
        EXPECT_NE(one.find("nowhere/99.html"), std::string::npos);
        EXPECT_NE(one.find("-------->"), std::string::npos);
        for (int run = 0; run < 3; ++run)
            EXPECT_EQ(report(true, settings), one) << "run " << run;
        // Threads that may hold next to nothing wait for the walk, and change nothing.
        CPagesAhead::SetHeldBudget(1);
        EXPECT_EQ(report(true, settings), one);
        CPagesAhead::SetHeldBudget(size_t{8} << 20);
    }
    // Memory that runs out on a thread, in the scan or in the parse, ends the run where it
    // ends on one thread.
    for (int failAt : {1, 2}) {
        const std::string one = report(false, check, failAt);
        EXPECT_NE(one.find(LoadString(IDS_LOW_MEMORY)), std::string::npos) << failAt;
        EXPECT_EQ(report(true, check, failAt), one) << failAt;
    }
}

// Pages the threads read that the walk never takes are left as they were: no link records,
// bases, anchors or fragment links, no unreadable mark, and nothing in the reports or findings.
TEST(PagesAhead, PagesNeverTakenAreLeftAsTheyWere) {
    if (HelperThreads() == 0) GTEST_SKIP() << "one processor: no threads";
    CSharedFileSystem fs;
    CLinkSite site(fs);
    CFindings findings;
    site.ctx.findings = &findings;
    site.ctx.links.checkFragments = true;
    constexpr int kPages = 20;
    for (int i = 0; i < kPages; ++i)
        site.Write("p" + std::to_string(i) + ".html",
                   "<base href=\"sub/\"><h1 id=top>x</h1>\n<b <i>y</i> <a href=\"#none\">z</a>\n"
                   "<a href=\"../gone.html#part\">gone</a> <img src=\"pic.png\">\n");
    site.Write("shut.html", "<a href=\"p0.html\">p0</a>\n");
    site.Scan();
    fs.lockedToo = "/shut.html";

    class CCountingJob : public CParseJob {
    public:
        CPageDone Run(CHtmlNode& page, const CPageOutput& out) override {
            const CPageDone done = CParseJob::Run(page, out);
            ++runs;
            return done;
        }
        std::atomic<int> runs{0};
    } job;
    {
        CPagesAhead ahead(*site.top, job);
        ASSERT_GT(ahead.Threads(), 0);
        // The walk takes nothing: the threads read every page (a minute on the busiest machine).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (job.runs < kPages + 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(job.runs, kPages + 1);
    }
    for (int i = 0; i <= kPages; ++i) {
        const std::string name = i < kPages ? "p" + std::to_string(i) + ".html" : "shut.html";
        const CHtmlNode& page = site.Html(name);
        EXPECT_FALSE(page.m_pTags) << name;
        EXPECT_FALSE(page.m_pAnchors) << name;
        EXPECT_FALSE(page.m_pFragmentLinks) << name;
        EXPECT_TRUE(page.m_strBase.empty()) << name;
        EXPECT_TRUE(page.m_vBases.empty()) << name;
        EXPECT_FALSE(page.m_bRewrite) << name;
        EXPECT_FALSE(page.m_bUnreadable) << name;
    }
    EXPECT_EQ(findings.TakeSorted().size(), 0u);
    EXPECT_EQ(site.Status(), "");
    EXPECT_EQ(site.Errors(), "");
}

}  // namespace ts::test
