#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>
#include <string>

#include "base/RunSettings.h"
#include "platform/Text.h"
#include "site/NameRules.h"
#include "site/SiteFixture.h"

namespace ts::test {
namespace {

// The sweep as it is meant to work, written out plainly: at every entry holding the candidate
// the candidate is numbered, and the entries are swept again until a sweep meets none.
int ReferenceMakeUnique(const CDirNode& dir, const CFileNode* exclude, std::string& name, char sep,
                        int maxLen) {
    int result = 0;
    uint64_t number = 1;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const auto& child : dir.Children()) {
            if (child.get() == exclude) continue;
            const std::string other =
                child->m_strNewName.empty() ? child->Name() : child->m_strNewName;
            if (!EqualsNoCase(other, name)) continue;
            result = 1;
            changed = true;
            size_t end = name.rfind('.');
            if (end == std::string::npos) end = name.size();
            const std::string ext = name.substr(end);
            size_t i = end;
            while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1])))
                --i;
            if (i < end && i > 0 && name[i - 1] == sep) {
                uint64_t value = 0;
                for (size_t k = i; k < end; ++k)
                    value = std::min<uint64_t>(1000000000000000000ULL,
                                               value * 10 + static_cast<uint64_t>(name[k] - '0'));
                number = value + 1;
                end = i - 1;
            }
            if (maxLen <= 12 && static_cast<int>(ext.size()) + 8 < maxLen)
                maxLen = static_cast<int>(ext.size()) + 8;
            size_t keep = end;
            std::string cand;
            for (;;) {
                cand = name.substr(0, keep) + sep + std::to_string(number);
                if (static_cast<int>(cand.size() + ext.size()) <= maxLen) break;
                if (keep == 0) return -1;
                keep = Utf8CutLength(name.substr(0, keep), keep - 1);
            }
            name = cand + ext;
        }
    }
    return result;
}

TEST(MakeUnique, NumbersAndShortens) {
    CSiteFixture f;
    for (const char* n : {"INDEX.HTM", "INDEX~1.HTM", "VERYLONG.HTM", "PAGE~9.HTM", "LONGNA~9.HTM",
                          "X~1", "X~2", "LONG~8.HTM", "LONG~9.HTM", "LONG~10.HTM"})
        f.site.Write(n, "");
    f.Scan();
    CDirNode& dir = *f.top;
    auto unique = [&](std::string name, int maxLen, char sep = '~') {
        int r = dir.MakeUnique(nullptr, name, sep, maxLen);
        return std::to_string(r) + " " + name;
    };
    EXPECT_EQ(unique("other.htm", 12), "0 other.htm");
    // The candidate keeps its own letters; only the comparison ignores case.
    EXPECT_EQ(unique("index.htm", 12), "1 index~2.htm");
    EXPECT_EQ(unique("VERYLONG.HTM", 12), "1 VERYLO~1.HTM");
    EXPECT_EQ(unique("PAGE~9.HTM", 12), "1 PAGE~10.HTM");
    EXPECT_EQ(unique("LONGNA~9.HTM", 12), "1 LONGN~10.HTM");
    // A run of taken numbers ends where the number gets a digit more: LONG~10.HTM is taken,
    // but the stem of an 8.3 name must give way by then, so LON~10.HTM is the next name.
    EXPECT_EQ(unique("LONG~8.HTM", 10), "1 LON~10.HTM");
    // Without an extension an 8.3 stem keeps to 8 characters.
    EXPECT_EQ(unique("X~1", 12), "1 X~3");
    EXPECT_EQ(unique("INDEX.HTM", 255, '_'), "1 INDEX_1.HTM");
    // The entry itself does not count.
    std::string own = "index.htm";
    EXPECT_EQ(dir.MakeUnique(f.Node("INDEX.HTM"), own, '~', 12), 0);
    // No room for any number: the name is left as it was.
    std::string tight = "INDEX.HTM";
    EXPECT_EQ(dir.MakeUnique(nullptr, tight, '~', 4), -1);
    EXPECT_EQ(tight, "INDEX.HTM");
}

// Found by fuzzing: entries the scan leaves out (hidden ones here) are still in the directory.
// "|.x" made valid for Windows 95 became ".x", the name of a hidden file beside it.
TEST(MakeUnique, NamesOfEntriesTheScanSkipsAreTaken) {
    CSiteFixture f;
    f.site.Write("|.x", "");
    f.site.Write(".x", "");
    f.Scan();
    EXPECT_EQ(f.CheckNames(TFS_WIN95_VFAT), 1);
    EXPECT_EQ(f.NewName("|.x"), "~1.x");
}

// Found by fuzzing: a number too long to continue (more than 18 digits) gave the same name
// again, so a taken one was tried for ever. Such a number is part of the stem.
TEST(MakeUnique, NumbersTooLongToContinueEndTheSearch) {
    CSiteFixture f;
    const std::string big = "X~1000000000000000001";
    f.site.Write(big, "");
    f.site.Write("x~1000000000000000001", "");
    f.site.Write("X~1000000000000000000", "");
    f.Scan();
    std::string name = big;
    int r = f.top->MakeUnique(nullptr, name, '~', 255);
    EXPECT_EQ(std::to_string(r) + " " + name, "1 X~1000000000000000001~1");
    EXPECT_EQ(f.CheckNames(TFS_UPPER), 1);
    EXPECT_EQ(f.NewName("x~1000000000000000001"), "X~1000000000000000001~1");
}

// The index-based numbering must give exactly what the plain sweep gives, for any mix of
// current and pending names, while names keep changing as a pass would change them.
TEST(MakeUnique, AgreesWithThePlainSweep) {
    std::mt19937 rng(12345);
    const std::vector<std::string> stems = {
        "a", "A", "ab", "page", "Page", "longname", "x.y", "\xc3\xa9\xc3\xa9", "LONGNA"};
    const std::vector<std::string> exts = {"", ".htm", ".HTM", ".h", ".html"};
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    auto randomName = [&] {
        std::string name = pick(stems);
        int kind = static_cast<int>(rng() % 4);
        if (kind == 1) name += "~" + std::to_string(1 + rng() % 12);
        if (kind == 2) name += "_" + std::to_string(1 + rng() % 12);
        if (kind == 3) name += "~0" + std::to_string(rng() % 3);
        return name + pick(exts);
    };
    int checked = 0;
    for (int round = 0; round < 20; ++round) {
        CSiteFixture f;
        std::set<std::string> made;
        for (int i = 0; i < 40; ++i) {
            std::string n = randomName();
            if (made.insert(n).second) f.site.Write(n, "");
        }
        f.Scan();
        CDirNode& dir = *f.top;
        const auto& children = dir.Children();
        for (const auto& child : children)
            if (rng() % 3 == 0) SetNewName(*child, randomName());
        for (int q = 0; q < 60; ++q) {
            CFileNode* exclude = rng() % 4 ? children[rng() % children.size()].get() : nullptr;
            const std::string start = randomName();
            const char sep = rng() % 2 ? '~' : '_';
            const int maxLen = std::vector<int>{5, 8, 9, 10, 12, 13, 31, 255}[rng() % 8];
            std::string fast = start, slow = start;
            int r = dir.MakeUnique(exclude, fast, sep, maxLen);
            int expected = ReferenceMakeUnique(dir, exclude, slow, sep, maxLen);
            ASSERT_EQ(r, expected) << start << " " << sep << " " << maxLen;
            if (r >= 0) {
                ASSERT_EQ(fast, slow) << start << " " << sep << " " << maxLen;
            }
            ++checked;
            // Change names the way a pass does: a new name taken, or one given back.
            if (exclude && r >= 0) SetNewName(*exclude, rng() % 5 ? fast : std::string());
        }
    }
    EXPECT_EQ(checked, 20 * 60);
}

// Every name of a large directory collides after the DOS rules; the pass must stay fast.
TEST(MakeUnique, TwentyThousandCollidingNames) {
    CSiteFixture f;
    const int n = 20000;
    for (int i = 1; i <= n; ++i)
        f.site.Write(Format("longname%05d.html", i), "");
    f.Scan();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.CheckNames(TFS_DOS_FAT), n);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    std::set<std::string> names;
    for (const auto& child : f.top->Children())
        names.insert(FoldCase(child->m_strNewName));
    EXPECT_EQ(names.size(), static_cast<size_t>(n));
    EXPECT_EQ(f.NewName("longname00001.html"), "LONGNAME.HTM");
    EXPECT_EQ(f.NewName("longname00002.html"), "LONGNA~1.HTM");
    EXPECT_EQ(f.NewName("longname00011.html"), "LONGN~10.HTM");
    EXPECT_EQ(f.NewName("longname00101.html"), "LONG~100.HTM");
    EXPECT_EQ(f.NewName("longname10001.html"), "LO~10000.HTM");
    // The last one, numbered again by the plain sweep, gets the same name.
    CFileNode* last = f.Node("longname20000.html");
    std::string name = "LONGNAME.HTM";
    EXPECT_EQ(ReferenceMakeUnique(*f.top, last, name, '~', 12), 1);
    EXPECT_EQ(name, last->m_strNewName);
    EXPECT_EQ(name, "LO~19999.HTM");
}

}  // namespace
}  // namespace ts::test
