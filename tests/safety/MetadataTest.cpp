// A run by root on another user's site: every converted or rewritten file keeps its owner,
// group, mode, access control list and extended attributes; a page with other names (hard
// links) is left whole; holes stay holes; undo makes read-only again what the run made writable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "site/Rename.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

constexpr uid_t kOwner = 4242;
constexpr gid_t kGroup = 4343;

// An access control list as the kernel stores it: the owner, one more user, the group, the
// mask and others.
std::string AccessList() {
    struct Entry {
        uint16_t tag, perm;
        uint32_t id;
    };
    const Entry entries[] = {{0x01, 6, 0xFFFFFFFF},
                             {0x02, 6, 4444},
                             {0x04, 4, 0xFFFFFFFF},
                             {0x10, 6, 0xFFFFFFFF},
                             {0x20, 0, 0xFFFFFFFF}};
    std::string blob(4, '\0');
    blob[0] = 2;  // version
    blob.append(reinterpret_cast<const char*>(entries), sizeof entries);
    return blob;
}

std::string Attribute(const std::string& path, const char* name) {
    char buf[256];
    ssize_t n = ::lgetxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? std::string("(none)") : std::string(buf, static_cast<size_t>(n));
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

}  // namespace

TEST(Metadata, RootKeepsOwnersAttributesHardLinksHolesAndReadOnlyModes) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
    CTempDir root, tmp;
    const std::string site = root.Mkdir("site"), outside = root.Mkdir("outside");
    const std::string home = root.Write("site/index.html", "<a href=\"My Page.html\">me</a>\r\n");
    root.Write("site/My Page.html", "<p>me</p>\r\n");
    const std::string shared =
        root.Write("outside/shared.html", "<a href=\"My Page.html\">shared</a>\r\n");
    ASSERT_EQ(::link(shared.c_str(), (site + "/Shared.html").c_str()), 0);
    const std::string readOnly = root.Write("site/ro.txt", "ro\r\n");
    // A text with a hole of a megabyte in it.
    const std::string sparse = site + "/sparse.txt";
    {
        FILE* f = std::fopen(sparse.c_str(), "wb");
        for (int i = 0; i < 200; ++i)
            std::fputs("line\r\n", f);
        std::fseek(f, 1 << 20, SEEK_SET);
        std::fputs("end\r\n", f);
        std::fclose(f);
    }
    for (const std::string& p : {home, site + "/My Page.html", readOnly, sparse, shared})
        ASSERT_EQ(::lchown(p.c_str(), kOwner, kGroup), 0);
    ASSERT_EQ(::chmod(home.c_str(), 0640), 0);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::lsetxattr(home.c_str(), "user.note", "kept", 4, 0), 0);
    const std::string acl = AccessList();
    const bool acls =
        ::lsetxattr(home.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
    const std::string outsideBefore = TreeListing(outside, true);
    const unsigned homeMode = StatOf(home).st_mode & 07777;  // the list's mask is in it

    CScriptedUi ui;
    ui.settings = DefaultSettings(site, site + "/index.html");
    ui.settings.Target = TFS_DOS_FAT;
    ui.settings.Rename = true;
    ui.settings.LineEnd = LE_UNIX;
    ui.settings.AutoReadOnly = RO_CONVERT;
    ui.settings.DeriveUpdateLinks();
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    const std::string report = Lf(ui.viewText);

    // Converted and rewritten, and still the owner's, with his mode and attributes.
    EXPECT_EQ(ReadFile(site + "/INDEX.HTM"), "<a href=\"MYPAGE.HTM\">me</a>\n");
    struct stat st = StatOf(site + "/INDEX.HTM");
    EXPECT_EQ(st.st_uid, kOwner);
    EXPECT_EQ(st.st_gid, kGroup);
    EXPECT_EQ(st.st_mode & 07777, homeMode);
    EXPECT_EQ(Attribute(site + "/INDEX.HTM", "user.note"), "kept");
    if (acls) {
        EXPECT_EQ(Attribute(site + "/INDEX.HTM", "system.posix_acl_access"), acl);
    }
    EXPECT_EQ(StatOf(site + "/MYPAGE.HTM").st_uid, kOwner);
    // The hard-linked page is reported and left whole under both names.
    EXPECT_EQ(TreeListing(outside, true), outsideBefore);
    EXPECT_EQ(StatOf(site + "/SHARED.HTM").st_nlink, 2u);
    EXPECT_NE(report.find(PadRight(site + "/SHARED.HTM", 36) +
                          "    file has other names (hard links), left unchanged"),
              std::string::npos)
        << report;
    // The hole is still one: far fewer blocks than the megabyte.
    st = StatOf(site + "/SPARSE.TXT");
    EXPECT_EQ(st.st_size, (1 << 20) - 200 + 4);
    EXPECT_LT(st.st_blocks * 512, 256 * 1024);
    EXPECT_EQ(StatOf(site + "/RO.TXT").st_mode & 0777, 0644u);

    doc->UndoLast();
    EXPECT_EQ(ReadFile(readOnly), "ro\r\n");
    EXPECT_EQ(StatOf(readOnly).st_mode & 0777, 0444u);
    EXPECT_EQ(StatOf(readOnly).st_uid, kOwner);
    EXPECT_EQ(ReadFile(home), "<a href=\"My Page.html\">me</a>\r\n");
    EXPECT_EQ(StatOf(home).st_uid, kOwner);
    EXPECT_EQ(Attribute(home, "user.note"), "kept");
    EXPECT_EQ(TreeListing(outside, true), outsideBefore);
}

}  // namespace ts::test
