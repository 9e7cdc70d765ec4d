#include <gtest/gtest.h>

#include <string>

#include "base/RunSettings.h"
#include "base/Strings.h"
#include "site/FileKeyFilter.h"
#include "site/NameRules.h"
#include "site/RenamePrompt.h"
#include "site/SiteFixture.h"

namespace ts::test {
namespace {

// Types each character at the end of the text, as a user would; returns what the box holds.
std::string Type(const CFileKeyFilter& filter, std::string text, const std::string& keys) {
    for (char k : keys) {
        char32_t ch = k == '\b' ? KEY_BACKSPACE : static_cast<unsigned char>(k);
        if (!filter.Accepts(text, text.size(), text.size(), ch)) continue;
        if (ch == KEY_BACKSPACE) {
            if (!text.empty()) text.pop_back();
        } else {
            text += filter.ShowCase(std::string(1, k));
        }
    }
    return text;
}

TEST(FileKeyFilter, EightThreeTargets) {
    CFileKeyFilter iso(TFS_ISO9660, 12);
    EXPECT_EQ(iso.CaseStyle(), CASE_UPPER);
    // A ninth character before the dot and a fourth after it are refused; "-" is no ISO 9660
    // character; letters are shown in upper case.
    EXPECT_EQ(Type(iso, "", "abcdefghi.jklm-"), "ABCDEFGH.JKL");
    EXPECT_EQ(iso.Check("ABCDEFGH", 8, 8, 'I'), KEY_BASE_TOO_LONG);
    EXPECT_EQ(iso.Check("AB.CDE", 6, 6, 'F'), KEY_EXT_TOO_LONG);
    EXPECT_EQ(iso.Check("AB", 2, 2, '-'), KEY_INVALID_CHAR);
    // A caret in the stem while the extension is full is fine; a full stem is not.
    EXPECT_TRUE(iso.Accepts("AB.CDE", 1, 1, 'X'));
    EXPECT_EQ(iso.Check("ABCDEFGH.C", 3, 3, 'X'), KEY_BASE_TOO_LONG);

    CFileKeyFilter dos(TFS_DOS_FAT, 12);
    EXPECT_EQ(dos.Check("A.B", 3, 3, '.'), KEY_SECOND_DOT);
    EXPECT_TRUE(dos.Accepts("AB", 2, 2, '~'));
    EXPECT_EQ(dos.Check("AB", 2, 2, '+'), KEY_INVALID_CHAR);
    // Deleting the dot would join a long stem and extension.
    EXPECT_EQ(dos.Check("ABCDEFG.HIJ", 8, 8, KEY_BACKSPACE), KEY_JOINS_PARTS);
    EXPECT_TRUE(dos.Accepts("ABC.HIJ", 4, 4, KEY_BACKSPACE));
    // Replacing a selection holding the dot likewise.
    EXPECT_EQ(dos.Check("ABCDEFG.HIJ", 6, 8, 'X'), KEY_JOINS_PARTS);
    EXPECT_TRUE(dos.Accepts("ABCDEFG.HIJ", 6, 8, '.'));
    // With the text at its maximum length only Backspace works.
    EXPECT_EQ(dos.Check("ABCDEFGH.IJK", 12, 12, 'X'), KEY_TOO_LONG);
    EXPECT_TRUE(dos.Accepts("ABCDEFGH.IJK", 12, 12, KEY_BACKSPACE));
}

// Found by fuzzing: keys that broke the 8.3 form. A dot typed into a name without one splits it
// where it is typed; a character of several bytes must fit whole (names are counted in bytes);
// typing over a selection may lengthen a part.
TEST(FileKeyFilter, EveryAcceptedKeyKeepsTheEightThreeForm) {
    CFileKeyFilter dos(TFS_DOS_FAT, 12);
    EXPECT_EQ(dos.Check("ABCDEFGH", 2, 2, '.'), KEY_EXT_TOO_LONG);  // AB.CDEFGH
    EXPECT_TRUE(dos.Accepts("ABCDEFGH", 5, 5, '.'));                // ABCDE.FGH
    EXPECT_TRUE(dos.Accepts("ABCDEFGH", 2, 5, '.'));                // AB.FGH
    EXPECT_EQ(dos.Check("ABCDEFGH", 8, 8, 0xE9), KEY_BASE_TOO_LONG);
    EXPECT_EQ(dos.Check("ABCDEFG", 7, 7, 0xE9), KEY_BASE_TOO_LONG);  // 9 bytes
    EXPECT_EQ(dos.Check("ABCDEFG.A", 3, 3, 0xE9), KEY_BASE_TOO_LONG);
    EXPECT_EQ(dos.Check("A.BC", 4, 4, 0xE9), KEY_EXT_TOO_LONG);
    EXPECT_TRUE(dos.Accepts("A.B", 3, 3, 0xE9));
    EXPECT_EQ(dos.Check("ABCDEFGH.TX", 0, 1, 0xE9), KEY_BASE_TOO_LONG);  // over "A"
    EXPECT_EQ(dos.Check("A.TXT", 2, 3, 0x20AC), KEY_EXT_TOO_LONG);       // over "T"
    EXPECT_TRUE(dos.Accepts("ABCDEFGH.TX", 0, 1, 'Z'));
    // Replacing a selection that holds the dot leaves 8 bytes: one more is too many.
    EXPECT_EQ(dos.Check("ABCDEFGH.X", 8, 10, 'Z'), KEY_JOINS_PARTS);
    EXPECT_TRUE(dos.Accepts("ABCDEFG.X", 7, 9, 'Z'));

    // Typed whole, such names stop at the first key that would break the form.
    std::string result, refused;
    EXPECT_EQ(dos.TypeName("caf\xC3\xA9t\xC3\xA9ria", result, refused), KEY_BASE_TOO_LONG);
    EXPECT_EQ(result, "CAF\xC3\x89T\xC3\x89");
}

TEST(FileKeyFilter, OtherTargets) {
    CFileKeyFilter mac(TFS_MACINTOSH, 31);
    EXPECT_EQ(mac.CaseStyle(), CASE_KEEP);
    EXPECT_EQ(mac.Check("a", 1, 1, ':'), KEY_INVALID_CHAR);
    std::string typed = Type(mac, "", "a?b*c<d>e|f\"g\\h i.j.k;l");
    EXPECT_EQ(typed, "a?b*c<d>e|f\"g\\h i.j.k;l");
    EXPECT_EQ(Type(mac, "", std::string(40, 'x')), std::string(31, 'x'));
    EXPECT_EQ(Type(mac, std::string(31, 'x'), "\b\b"), std::string(29, 'x'));
    // A two-byte character does not fit into the last free byte.
    EXPECT_EQ(mac.Check(std::string(30, 'x'), 30, 30, 0xE9), KEY_TOO_LONG);
    EXPECT_TRUE(mac.Accepts(std::string(29, 'x'), 29, 29, 0xE9));

    CFileKeyFilter lower(TFS_LOWER, 255);
    EXPECT_EQ(lower.CaseStyle(), CASE_LOWER);
    EXPECT_EQ(Type(lower, "", "ABC+;"), "abc+;");
    CFileKeyFilter win(TFS_WIN95_VFAT, 255);
    EXPECT_EQ(win.Check("a", 1, 1, '?'), KEY_INVALID_CHAR);
    EXPECT_TRUE(win.Accepts("a", 1, 1, '+'));
    // No target lets a path separator be typed.
    for (int t : {TFS_UNSPECIFIED, TFS_MACINTOSH, TFS_UNIX, TFS_UPPER, TFS_LOWER, TFS_NTFS})
        EXPECT_EQ(CFileKeyFilter(t, 255).Check("a", 1, 1, '/'), KEY_INVALID_CHAR) << t;
}

TEST(FileKeyFilter, TypedNamesAndReasons) {
    CFileKeyFilter dos(TFS_DOS_FAT, 12);
    std::string result, refused;
    EXPECT_EQ(dos.TypeName("index.htm", result, refused), KEY_OK);
    EXPECT_EQ(result, "INDEX.HTM");
    EXPECT_EQ(dos.TypeName("a+b.htm", result, refused), KEY_INVALID_CHAR);
    EXPECT_EQ(refused, "+");
    EXPECT_EQ(dos.Reason(KEY_INVALID_CHAR, refused),
              "\"+\" is not allowed in DOS 8.3 FAT filenames");
    EXPECT_EQ(dos.TypeName("a.b.c", result, refused), KEY_SECOND_DOT);
    EXPECT_EQ(dos.TypeName("verylongname", result, refused), KEY_BASE_TOO_LONG);
    EXPECT_EQ(dos.Reason(KEY_BASE_TOO_LONG, refused),
              "a name has at most 8 characters before the dot");
    // Control characters never make part of a typed name.
    CFileKeyFilter unix(TFS_UNIX, 255);
    EXPECT_EQ(unix.TypeName("a\tb", result, refused), KEY_INVALID_CHAR);
    EXPECT_EQ(unix.Reason(KEY_INVALID_CHAR, refused),
              "control characters are not allowed in filenames");
    EXPECT_EQ(unix.TypeName("na\xc3\xafve", result, refused), KEY_OK);
    EXPECT_EQ(result, "na\xc3\xafve");
}

TEST(RenamePrompt, TextsAndValidation) {
    CSiteFixture f;
    f.site.Write("SUB/index.html", "x");
    f.site.Write("SUB/INDEX.HTM", "x");
    f.site.Write("SUB/other.htm", "x");
    f.Scan();
    EXPECT_EQ(f.CheckNames(TFS_DOS_FAT), 2);
    CFileNode* node = f.Node("SUB/index.html");
    ASSERT_EQ(node->m_strNewName, "INDEX~1.HTM");

    CRenamePrompt prompt(node, TFS_DOS_FAT, true);
    EXPECT_EQ(prompt.Message(), "This dialog will only let you enter valid DOS 8.3 FAT filenames.");
    EXPECT_EQ(prompt.Directory(), f.site / "SUB");
    EXPECT_EQ(prompt.OriginalName(), "index.html");
    EXPECT_EQ(prompt.InitialText(), "INDEX~1.HTM");
    EXPECT_EQ(prompt.Filter().MaxLength(), 12);
    EXPECT_TRUE(prompt.OffersPassButtons());
    EXPECT_FALSE(CRenamePrompt(node, TFS_DOS_FAT, false).OffersPassButtons());

    std::string text, message;
    // Empty: the suggestion comes back.
    EXPECT_FALSE(prompt.Accept(text, message));
    EXPECT_EQ(message, LoadString(IDS_EMPTY_NAME));
    EXPECT_EQ(text, "INDEX~1.HTM");
    // A name another entry has (or will have): a unique one is put in its place.
    text = "OTHER.HTM";
    EXPECT_FALSE(prompt.Accept(text, message));
    EXPECT_EQ(message, LoadString(IDS_NOT_UNIQUE));
    EXPECT_EQ(text, "OTHER~1.HTM");
    // Accepting the substituted name sets it.
    EXPECT_TRUE(prompt.Accept(text, message));
    EXPECT_EQ(node->m_strNewName, "OTHER~1.HTM");
    // The old suggestion is free again for others.
    std::string again = "INDEX~1.HTM";
    EXPECT_EQ(static_cast<CDirNode*>(f.Node("SUB"))->MakeUnique(nullptr, again, '~', 12), 0);
    // Its own current name: no rename.
    text = "index.html";
    EXPECT_TRUE(prompt.Accept(text, message));
    EXPECT_EQ(node->m_strNewName, "");
    // Names that would leave the directory are refused whatever was pasted.
    for (const char* bad : {"..", ".", "../up.htm", "a/b"}) {
        text = bad;
        EXPECT_FALSE(prompt.Accept(text, message)) << bad;
        EXPECT_EQ(message, FormatMessage(IDS_NAME_NOT_ALLOWED, bad));
    }
    // Without a node everything is accepted.
    CRenamePrompt none(nullptr, TFS_DOS_FAT, false);
    text = "";
    EXPECT_TRUE(none.Accept(text, message));
}

}  // namespace
}  // namespace ts::test
