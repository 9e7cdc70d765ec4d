// Every scanned entry is first built as an HTML node, whose own classification runs the base
// one again when the base found nothing: an empty or unreadable file would be opened twice and
// an open failure reported twice.
#include <gtest/gtest.h>

#include <map>

#include "support/FaultyFileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

class CCountingFileSystem : public CFaultyFileSystem {
public:
    std::map<std::string, int> opened;  // by file name
    std::unique_ptr<CFile> OpenRead(const std::string& path) override {
        ++opened[BaseName(path)];
        return CFaultyFileSystem::OpenRead(path);
    }
};

}  // namespace

TEST(ClassifyOnce, EachFileIsOpenedOnceAndAFailureReportedOnce) {
    CTempDir site, tmp;
    site.Write("index.html", "<html></html>\n");
    site.Write("empty.html", "");
    site.Write("locked.htm", "<p>secret</p>\n");
    site.Write("notes.txt", "a\n");
    CCountingFileSystem fs;
    fs.FailFrom(Op::OpenRead, 1, "locked.htm", EACCES);
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    ui.settings.FilesOnly = true;
    auto doc = MakeDoc(fs, ui, tmp.Path());
    doc->CheckDirectory();

    EXPECT_EQ(fs.opened["empty.html"], 1);
    EXPECT_EQ(fs.opened["locked.htm"], 1);
    EXPECT_EQ(fs.opened["notes.txt"], 1);
    std::string report = Lf(ui.viewText);
    std::string line = site / "locked.htm";
    line.resize(std::max<size_t>(line.size(), 36), ' ');
    line += "    open failed: Permission denied\n";
    size_t first = report.find(line);
    ASSERT_NE(first, std::string::npos) << report;
    EXPECT_EQ(report.find("open failed", first + line.size()), std::string::npos) << report;
}

}  // namespace ts::test
