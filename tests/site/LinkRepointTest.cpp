// The new text of a symbolic link, read lexically against the tree as scanned: only renamed
// components change, every other byte of the text stays.
#include <gtest/gtest.h>

#include "base/RunContext.h"
#include "site/DirXpNode.h"
#include "site/LinkRepoint.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace ts::test {

TEST(LinkRepoint, OnlyRenamedComponentsOfATextThatLeadsIntoTheTreeChange) {
    CTempDir dir;
    dir.Write("site/a.html", "a");
    dir.Write("site/d/b.html", "b");
    dir.Write("site/d/e/c.html", "c");
    const std::string site = dir / "site";
    CScriptedUi ui;
    CRunContext ctx(RealFileSystem(), ui);
    auto top = MakeRunTree(ctx, site, nullptr);
    ASSERT_EQ(top->Scan(true, nullptr, false), 5);
    // Renamed in the tree only: the texts are worked out from the nodes alone.
    CFileNode* d = top->SiteMap().Lookup(site + "/d");
    CFileNode* b = top->SiteMap().Lookup(site + "/d/b.html");
    auto* e = static_cast<CDirNode*>(top->SiteMap().Lookup(site + "/d/e"));
    ASSERT_TRUE(d && b && e);
    d->MovePath(site + "/DD");
    b->MovePath(site + "/DD/B.HTM");

    auto text = [&](const std::string& t, const CDirNode* from = nullptr) {
        return RepointedText(*top, from ? *from : *top, t);
    };
    EXPECT_EQ(text("d/b.html"), "DD/B.HTM");
    EXPECT_EQ(text("./d//b.html"), "./DD//B.HTM");
    EXPECT_EQ(text("d/e/c.html"), "DD/e/c.html");
    EXPECT_EQ(text("d/"), "DD/");
    EXPECT_EQ(text("../site/d/b.html"), "../site/DD/B.HTM");
    EXPECT_EQ(text(site + "/d/./b.html"), site + "/DD/./B.HTM");
    EXPECT_EQ(text("../b.html", e), "../B.HTM");
    EXPECT_EQ(text("../../d/e/../b.html", e), "../../DD/e/../B.HTM");
    // Nothing renamed on the way, no such entry, or outside the tree: no new text.
    EXPECT_EQ(text("a.html"), "");
    EXPECT_EQ(text("d/e/../missing.html"), "");
    EXPECT_EQ(text("../other/d/b.html"), "");
    EXPECT_EQ(text(dir / "d/b.html"), "");
    EXPECT_EQ(text("/"), "");
    EXPECT_EQ(text(""), "");
}

}  // namespace ts::test
