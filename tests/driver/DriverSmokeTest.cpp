#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {

TEST(DriverSmoke, RunsOnATinySite) {
    CTempDir site, tmp;
    site.Write("index.html", "<html></html>\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u);
    EXPECT_NE(ui.viewText.find("REPORT FROM SUCCESSFUL PASS"), std::string::npos);
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

}  // namespace ts::test
