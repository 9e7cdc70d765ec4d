#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/RunSettings.h"
#include "base/Strings.h"
#include "html/HtmlNode.h"
#include "html/WebExtensions.h"
#include "platform/Text.h"
#include "site/FileNode.h"
#include "site/NameRules.h"
#include "site/RenamePrompt.h"
#include "site/SiteFixture.h"
#include "support/MakeNode.h"

namespace ts::test {
namespace {

const char kBinary[] = "\xff\xd8\xff\xe0 binary";

// Makes the files (a trailing "/" makes a directory), runs the name check, and lists every
// top-level entry as "old -> new" ("old" alone when it keeps its name), in list order.
std::string Suggest(int target, const std::vector<std::string>& names, int webExt = 0,
                    int* count = nullptr) {
    CSiteFixture f;
    for (const std::string& n : names) {
        if (n.back() == '/')
            f.site.Mkdir(n.substr(0, n.size() - 1));
        else
            f.site.Write(n, ToLower(n).find(".jp") != std::string::npos ? kBinary : "text\n");
    }
    f.Scan();
    int n = f.CheckNames(target, webExt);
    if (count) *count = n;
    std::string out;
    for (const auto& child : f.top->Children()) {
        out += child->Name();
        if (!child->m_strNewName.empty()) out += " -> " + child->m_strNewName;
        out += "\n";
    }
    return out;
}

TEST(NameRules, IsoNamesAreUpperCase83WithOnlyLettersDigitsAndUnderscore) {
    EXPECT_EQ(Suggest(TFS_ISO9660, {"my page#1.html", "read me", "ok_1.TXT"}),
              "my page#1.html -> MYPAGE1.HTM\n"
              "ok_1.TXT -> OK_1.TXT\n"
              "read me -> README\n");
    // Only removed characters: _1, numbered like any other name when that is taken. Letters
    // outside ASCII lose their accents.
    EXPECT_EQ(Suggest(TFS_ISO9660, {"_1", "#%", "\xc3\xa9t\xc3\xa9.txt"}),
              "#% -> _2\n_1\n\xc3\xa9t\xc3\xa9.txt -> ETE.TXT\n");
}

TEST(NameRules, DosNamesFollowThe83Form) {
    int count = 0;
    EXPECT_EQ(Suggest(TFS_DOS_FAT,
                      {"index.html", "a.b.c.txt", "verylongname.html", "README.TXT", "x y;z=[1]"},
                      0, &count),
              "a.b.c.txt -> ABC.TXT\n"
              "index.html -> INDEX.HTM\n"
              "README.TXT\n"
              "verylongname.html -> VERYLONG.HTM\n"
              "x y;z=[1] -> XYZ1\n");
    EXPECT_EQ(count, 4);  // a valid name is not counted
    // The first entry checked collides with the current name of the second.
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"a+b.htm", "ab.htm"}),
              "a+b.htm -> AB~1.HTM\nab.htm -> AB.HTM\n");
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"+,;"}), "+,; -> ~1\n");
    // A numbered name is continued, and the stem gives way to a longer number.
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"PAGE~9.HTM", "page~9.html"}),
              "PAGE~9.HTM\npage~9.html -> PAGE~10.HTM\n");
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"LONGNA~9.HTM", "longna~9.html"}),
              "LONGNA~9.HTM\nlongna~9.html -> LONGN~10.HTM\n");
}

TEST(NameRules, ShortNamesNeverStartOrEndWithTheDot) {
    // FAT keeps ".HTA" only with a long-name entry and ISO 9660 tools write "_HTA"; "A." is
    // stored as "A" by both. (Names that start with a dot are hidden and never checked.)
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"+.htaccess", "a."}), "+.htaccess -> _HTA\na. -> A\n");
    EXPECT_EQ(Suggest(TFS_ISO9660, {"#.htaccess"}), "#.htaccess -> _HTA\n");
}

// A short name holds plain ASCII: letters lose their accents (also when written decomposed,
// as macOS writes names), "ß" becomes "SS", anything else one "_" per character or stray byte,
// even where taking the dots out would join stray bytes into a letter.
TEST(NameRules, ShortNamesArePlainAscii) {
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"X\xC4.\xBC.txt", "e\xcc\x81\xc3\x9f\xc5\x93.htm",
                                    "\xe6\x97\xa5\xff\xc2\x9b.txt"}),
              "e\xcc\x81\xc3\x9f\xc5\x93.htm -> ESSOE.HTM\n"
              "X\xC4.\xBC.txt -> X__.TXT\n"
              "\xe6\x97\xa5\xff\xc2\x9b.txt -> ___.TXT\n");
    EXPECT_EQ(Suggest(TFS_ISO9660, {"\xc3\x86sop \xc5\x81\xc3\xb3"
                                    "d\xc5\xba.html"}),
              "\xc3\x86sop \xc5\x81\xc3\xb3"
              "d\xc5\xba.html -> AESOPLOD.HTM\n");
    // Long names keep their letters.
    EXPECT_EQ(Suggest(TFS_WIN95_VFAT, {"caf\xc3\xa9.htm"}), "caf\xc3\xa9.htm\n");
}

TEST(NameRules, OtherTargets) {
    std::string forty(40, 'n');
    EXPECT_EQ(Suggest(TFS_MACINTOSH, {forty, "a:b.txt", "fine name?.txt"}),
              "a:b.txt -> ab.txt\nfine name?.txt\n" + forty + " -> " + std::string(31, 'n') + "\n");
    EXPECT_EQ(Suggest(TFS_WIN95_VFAT, {"what?.htm", "a+b.htm", "tab\there"}),
              "a+b.htm\ntab\there -> tabhere\nwhat?.htm -> what.htm\n");
    EXPECT_EQ(Suggest(TFS_NTFS, {"q?.htm", "a|b"}), "a|b -> ab\nq?.htm\n");
    EXPECT_EQ(Suggest(TFS_LOWER, {"Index.HTM"}), "Index.HTM -> index.htm\n");
    // A change of case alone is a rename.
    int count = 0;
    EXPECT_EQ(Suggest(TFS_UPPER, {"Index.htm", "OK.HTM"}, 0, &count),
              "Index.htm -> INDEX.HTM\nOK.HTM\n");
    EXPECT_EQ(count, 1);
    // Beside a name that differs only in case, the new name is still made unique.
    EXPECT_EQ(Suggest(TFS_UPPER, {"INDEX.HTM", "Index.htm"}),
              "Index.htm -> INDEX~1.HTM\nINDEX.HTM\n");
    // An unknown target is treated as "Unspecified".
    EXPECT_EQ(RulesOf(42).strPromptName, std::string("Unspecified"));
    EXPECT_EQ(InvalidChars(TFS_DOS_FAT), "\"\\<>:/|?*+,;=[] ");
    EXPECT_EQ(InvalidChars(TFS_NTFS), "\"\\<>:/|");
}

TEST(NameRules, NamesNeverGainAPathSeparator) {
    // On this system a backslash is an ordinary character of a name: UNIX keeps it.
    EXPECT_EQ(Suggest(TFS_UNIX, {"a\\b.htm"}), "a\\b.htm\n");
    EXPECT_EQ(Suggest(TFS_MACINTOSH, {"a\\b:c.htm"}), "a\\b:c.htm -> a\\bc.htm\n");
    // A slash can only come from a proposal; no target lets it through.
    for (int target : {TFS_UNSPECIFIED, TFS_MACINTOSH, TFS_UPPER, TFS_LOWER, TFS_UNIX}) {
        CSiteFixture f;
        f.site.Write("page.htm", "x");
        f.Scan();
        CFileNode* node = f.Node("page.htm");
        node->m_strNewName = "../x/y.htm";
        EXPECT_TRUE(SuggestName(*node, target));
        EXPECT_EQ(node->m_strNewName.find('/'), std::string::npos) << target;
    }
}

TEST(NameRules, CutsNeverSplitAUtf8Sequence) {
    const std::string e = "\xc3\xa9";  // é, two bytes
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += e;
    // 31 bytes would end inside the 16th character.
    std::string fifteen = twenty.substr(0, 30), fourteen = twenty.substr(0, 28);
    EXPECT_EQ(Suggest(TFS_MACINTOSH, {twenty + "a", twenty + "b"}),
              twenty + "a -> " + fifteen + "\n" + twenty + "b -> " + fourteen + "~1\n");
    // Bytes that are not UTF-8 are kept and cut anywhere.
    std::string raw(40, '\xff');
    EXPECT_EQ(Suggest(TFS_MACINTOSH, {raw}), raw + " -> " + std::string(31, '\xff') + "\n");
    // A DOS name is plain ASCII before it is cut: "é" is one of the eight.
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {e + e + e + e + e + "x.htm"}),
              e + e + e + e + e + "x.htm -> EEEEEX.HTM\n");
}

TEST(NameRules, WebExtensionsAreProposedFirst) {
    EXPECT_EQ(WebExtensionFor(FT_HTML, "html", WEB_EXT_WINDOWS), "htm");
    EXPECT_EQ(WebExtensionFor(FT_HTML, "Html", WEB_EXT_WINDOWS), "Htm");
    EXPECT_EQ(WebExtensionFor(FT_HTML, "HTML", WEB_EXT_WINDOWS), "HTM");
    EXPECT_EQ(WebExtensionFor(FT_JPEG, "JPEG", WEB_EXT_WINDOWS), "JPG");
    EXPECT_EQ(WebExtensionFor(FT_JPEG, "Jpeg", WEB_EXT_WINDOWS), "JPG");
    EXPECT_EQ(WebExtensionFor(FT_JPEG, "jPEG", WEB_EXT_WINDOWS), "jpg");
    EXPECT_EQ(WebExtensionFor(FT_AIFF, "AIFF", WEB_EXT_WINDOWS), "AIF");
    EXPECT_EQ(WebExtensionFor(FT_PNG, "ping", WEB_EXT_WINDOWS), "png");
    EXPECT_EQ(WebExtensionFor(FT_AIFF, "aif", WEB_EXT_UNIX), "aiff");
    EXPECT_EQ(WebExtensionFor(FT_MPEG, "MPG", WEB_EXT_UNIX), "MPEG");
    EXPECT_EQ(WebExtensionFor(FT_PNG, "png", WEB_EXT_UNIX), "ping");
    EXPECT_EQ(WebExtensionFor(FT_HTML, "htm", WEB_EXT_UNIX), "html");
    // Already in the convention, another kind, or no convention: nothing.
    EXPECT_EQ(WebExtensionFor(FT_HTML, "htm", WEB_EXT_WINDOWS), "");
    EXPECT_EQ(WebExtensionFor(FT_TEXT, "jpg", WEB_EXT_UNIX), "");
    EXPECT_EQ(WebExtensionFor(FT_HTML, "html", WEB_EXT_KEEP), "");

    EXPECT_EQ(Suggest(TFS_UNSPECIFIED,
                      {"index.html", "photo.Jpeg", "page.htm", "archive.tar.html", "notes.txt",
                       "pictures.jpeg/"},
                      WEB_EXT_WINDOWS),
              "archive.tar.html -> archive.tar.htm\nindex.html -> index.htm\nnotes.txt\n"
              "page.htm\nphoto.Jpeg -> photo.JPG\npictures.jpeg\n");
    // A text file named like an image is no image.
    CSiteFixture f;
    f.site.Write("data.jpg", "just text\n");
    f.Scan();
    EXPECT_EQ(f.CheckNames(TFS_UNSPECIFIED, WEB_EXT_UNIX), 0);
    // The target's rules start from the proposal.
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"longname.html"}, WEB_EXT_WINDOWS),
              "longname.html -> LONGNAME.HTM\n");
    // When the target's rules take the proposed extension back, the entry keeps its name
    // rather than getting a name the target does not allow.
    int count = -1;
    EXPECT_EQ(Suggest(TFS_DOS_FAT, {"A.HTM"}, WEB_EXT_UNIX, &count), "A.HTM\n");
    EXPECT_EQ(count, 0);
}

// A directory chain whose top path has the given length, without touching the disk.
struct FakeTree {
    CScriptedUi ui;
    CRunContext ctx{RealFileSystem(), ui};
    std::unique_ptr<CDirXpNode> top;
    explicit FakeTree(size_t topLen) {
        std::string path = "/nonexistent-tessary-test/";
        path += std::string(topLen - path.size(), 'd');
        top = MakeRunTree(ctx, path, MakeWebFileNode);
    }
};

// The room an entry has in a directory whose path is topLen bytes long, and its new name, as
// "6 PH.HTM".
std::string SuggestedInRoom(size_t topLen, const char* name, int target) {
    FakeTree t(topLen);
    CFileNode file = test::MakeNode<CFileNode>(t.ctx, t.top->m_strPath + "/" + name, t.top.get());
    SuggestName(file, target);
    return std::to_string(MaxNewNameLength(file, target)) + " " + file.m_strNewName;
}

// Found by fuzzing: cutting an 8.3 name to the room its directory leaves could leave the dot
// last ("PHTM9." is stored as "PHTM9": links to it break). The name gives up characters before
// its dot and keeps its extension, as numbering does; a cut never ends in the dot.
TEST(NameRules, ANameCutToItsRoomKeepsTheEightThreeForm) {
    EXPECT_EQ(SuggestedInRoom(248, "P.htm9.HTM", TFS_DOS_FAT), "6 PH.HTM");
    EXPECT_EQ(SuggestedInRoom(248, "index.html", TFS_ISO9660), "6 IN.HTM");
    EXPECT_EQ(SuggestedInRoom(250, "index.html", TFS_DOS_FAT), "4 INDE");
    EXPECT_EQ(SuggestedInRoom(251, "ab.htm", TFS_DOS_FAT), "3 AB");
    EXPECT_EQ(SuggestedInRoom(249, "caf\xC3\xA9s.htm", TFS_DOS_FAT), "5 C.HTM");
    // Other targets are cut as they were.
    EXPECT_EQ(SuggestedInRoom(248, "averyverylongname.html", TFS_WIN95_VFAT), "10 averyveryl");
}

// Windows cannot create a device name, whatever its extension, nor keep a blank or a dot at
// the end of a name. A cut to the room left can make either, and is mended too.
TEST(NameRules, WindowsDeviceNamesAndNameEnds) {
    EXPECT_EQ(SuggestedInRoom(40, "con", TFS_NTFS), "214 con_");
    EXPECT_EQ(SuggestedInRoom(40, "Com\xc2\xb9 .txt", TFS_NTFS), "214 Com\xc2\xb9 _.txt");
    EXPECT_EQ(SuggestedInRoom(40, "CONIN$", TFS_WIN95_VFAT), "218 CONIN$_");
    EXPECT_EQ(SuggestedInRoom(40, "comfort.txt", TFS_NTFS), "214 ");
    EXPECT_EQ(SuggestedInRoom(40, "COM0", TFS_ISO9660),
              "12 ");  // CD-ROM names are not Windows names
    // Room for 3 bytes (the prefix is 252 of 255): "CON" itself fits, "CON_" does not.
    EXPECT_EQ(SuggestedInRoom(251, "CON", TFS_NTFS), "3 CO_");
    EXPECT_EQ(SuggestedInRoom(251, "ab c", TFS_NTFS), "3 ab");
    EXPECT_EQ(SuggestedInRoom(251, " . x", TFS_NTFS), "3 ~1");

    // A typed name is held to the same rules.
    CSiteFixture f;
    f.site.Write("a b", "x");
    f.Scan();
    for (const char* typed : {"NUL.txt", "name.", "name ", "CAF\xc3\x89"}) {
        CRenamePrompt prompt(f.Node("a b"), TFS_DOS_FAT, true);
        std::string text = typed, message;
        EXPECT_FALSE(prompt.Accept(text, message)) << typed;
        EXPECT_EQ(message, FormatMessage(IDS_NAME_NOT_ALLOWED, typed));
    }
    CRenamePrompt unix(f.Node("a b"), TFS_UNIX, true);
    std::string text = "CON", message;
    EXPECT_TRUE(unix.Accept(text, message));
}

TEST(NameRules, LimitsFollowTheDirectoryPrefix) {
    FakeTree t(249);  // the prefix is the path and a separator: 250
    CFileNode file =
        test::MakeNode<CFileNode>(t.ctx, t.top->m_strPath + "/averyverylongname.html", t.top.get());
    EXPECT_EQ(DirPrefixLength(file), 250);
    EXPECT_EQ(MaxNewNameLength(file, TFS_WIN95_VFAT), 9);
    EXPECT_EQ(MaxNewNameLength(file, TFS_DOS_FAT), 5);
    EXPECT_TRUE(SuggestName(file, TFS_WIN95_VFAT));
    EXPECT_EQ(file.m_strNewName, "averyvery");

    // Pending new names of the directories above count, not their current names.
    CDirXpNode sub =
        test::MakeNode<CDirXpNode>(t.ctx, t.top->m_strPath + "/a-long-directory-name", t.top.get());
    CFileNode inner = test::MakeNode<CFileNode>(t.ctx, sub.m_strPath + "/x", &sub);
    EXPECT_EQ(DirPrefixLength(inner), 250 + 21 + 1);
    sub.m_strNewName = "AL";
    EXPECT_EQ(DirPrefixLength(inner), 250 + 3);

    // No room at all: the entry keeps its name and the error report says why.
    FakeTree deep(254);
    std::unique_ptr<CFile> err;
    std::string errPath;
    CTempDir tmp;
    err = RealFileSystem().CreateTemp(tmp.Path(), "ts_", errPath);
    deep.ctx.errorReport.Attach(err.get());
    CFileNode cramped =
        test::MakeNode<CFileNode>(deep.ctx, deep.top->m_strPath + "/index.html", deep.top.get());
    EXPECT_FALSE(SuggestName(cramped, TFS_DOS_FAT));
    EXPECT_EQ(cramped.m_strNewName, "");
    deep.ctx.errorReport.Detach();
    EXPECT_EQ(Lf(ReadFile(errPath)),
              FormatMessage(IDS_DIR_TOO_LONG_TO_RENAME, cramped.m_strPath) + "\n");
}

TEST(NameRules, LongPathWarningOncePerPass) {
    FakeTree t(230);
    CDirXpNode a = test::MakeNode<CDirXpNode>(t.ctx, t.top->m_strPath + "/aaa", t.top.get());
    CDirXpNode b = test::MakeNode<CDirXpNode>(t.ctx, t.top->m_strPath + "/bbb", t.top.get());
    bool autoName = true, cancel = false;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FALSE(t.top->CheckName(TFS_DOS_FAT, &autoName, 0, &cancel));
        a.CheckName(TFS_DOS_FAT, &autoName, 0, &cancel);
        b.CheckName(TFS_DOS_FAT, &autoName, 0, &cancel);
    }
    ASSERT_EQ(t.ui.messages.size(), 2u);
    EXPECT_EQ(t.ui.messages[0], LoadString(IDS_LONG_PATH));
}

TEST(NameRules, PromptAnswersInThePass) {
    CSiteFixture f;
    for (const char* n : {"a b.htm", "c d.htm", "e f.htm", "g h.htm"})
        f.site.Write(n, "x");
    f.Scan();
    std::vector<std::string> asked;
    f.ui.renamePrompt = [&](CRunContext&, CFileNode& node, int target, bool inPass) {
        EXPECT_EQ(target, TFS_DOS_FAT);
        EXPECT_TRUE(inPass);
        asked.push_back(node.Name());
        if (node.Name() == "a b.htm") return RENAME_NO_RENAME;
        if (node.Name() == "c d.htm") return RENAME_ACCEPT;
        return RENAME_ACCEPT_ALL;
    };
    EXPECT_EQ(f.CheckNames(TFS_DOS_FAT, 0, false), 3);
    EXPECT_EQ(asked, (std::vector<std::string>{"a b.htm", "c d.htm", "e f.htm"}));
    EXPECT_EQ(f.NewName("a b.htm"), "");
    EXPECT_EQ(f.NewName("g h.htm"), "GH.HTM");
    EXPECT_EQ(f.Status(), std::string(kSeparatorLine) + LoadString(IDS_NOT_RENAMED_HEADING) + "\n" +
                              std::string(kSeparatorLine) + PadRight("AB.HTM", 36) + "    " +
                              f.site / "a b.htm" + "\n");
    EXPECT_TRUE(f.ctx.bNotRenamedHeadingWritten);

    // Cancel ends the pass and leaves the entry without a new name.
    f.ui.renamePrompt = [](CRunContext&, CFileNode&, int, bool) { return RENAME_CANCEL; };
    EXPECT_EQ(f.CheckNames(TFS_DOS_FAT, 0, false), -1);
    EXPECT_EQ(f.NewName("a b.htm"), "");
}

}  // namespace
}  // namespace ts::test
