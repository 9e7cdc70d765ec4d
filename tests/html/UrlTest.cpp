#include <gtest/gtest.h>

#include "html/Url.h"

namespace ts::test {

namespace {

std::string Decoded(std::string s) {
    DecodeUrl(s);
    return s;
}
std::string Encoded(std::string s) {
    EncodeUrl(s);
    return s;
}
std::string DotDot(std::string rel, const std::string& base) {
    ResolveDotDot(rel, base, '/');
    return rel;
}

}  // namespace

TEST(Url, DecodesFromTheRightOnce) {
    EXPECT_EQ(Decoded("%41b%43"), "AbC");
    EXPECT_EQ(Decoded("%2541"), "%41");
    EXPECT_EQ(Decoded("a%20b%2fc"), "a b/c");
    EXPECT_EQ(Decoded("my\r\npage%2\n0.htm"), "mypage .htm");
    EXPECT_EQ(Decoded("x%4"), "x\x04");
    EXPECT_EQ(Decoded("x%+4y"), "x\x04y");  // read the way strtol reads
    EXPECT_EQ(Decoded("cut%00here"), "cut");
    EXPECT_EQ(Decoded("cut%zzhere"), "cut");
    EXPECT_EQ(Decoded("%C3%A9t%C3%A9"), "\xC3\xA9t\xC3\xA9");
}

TEST(Url, EncodesReservedCharactersButTheSlash) {
    EXPECT_EQ(Encoded("my page/~me;a?b:c@d=e&f<g>h\"i#j%k{l}m|n\\o^p[q]r`s"),
              "my%20page/%7Eme%3Ba%3Fb%3Ac%40d%3De%26f%3Cg%3Eh%22i%23j%25k%7Bl%7Dm%7Cn%5Co%5Ep%"
              "5Bq%5Dr%60s");
    EXPECT_EQ(Encoded("caf\xC3\xA9.htm"), "caf\xC3\xA9.htm");
    EXPECT_EQ(Encoded(Decoded("dir/My%20Page.htm")), "dir/My%20Page.htm");
}

// Decoding drops raw line ends (and browsers drop tabs): a name holding a control character
// can only be linked through its escape, which must come back whole.
TEST(Url, EncodesControlCharactersSoThatTheyDecodeBack) {
    EXPECT_EQ(Encoded("new\nline\r\tx\x7F\x01.htm"), "new%0Aline%0D%09x%7F%01.htm");
    EXPECT_EQ(Decoded(Encoded("a\r\nb\tc")), "a\r\nb\tc");
}

TEST(Url, DotDotClimbsTheBase) {
    EXPECT_EQ(DotDot("../img/a.gif", "/site/docs/"), "/site/img/a.gif");
    EXPECT_EQ(DotDot("../../a.gif", "/site/docs/x/"), "/site/a.gif");
    EXPECT_EQ(DotDot("..", "/site/docs/"), "/site/");
    EXPECT_EQ(DotDot("..x/a.gif", "/site/"), "/site/..x/a.gif");
    EXPECT_EQ(DotDot("./a.gif", "/site/"), "/site/a.gif");
    EXPECT_EQ(DotDot("./sub/./x/../", "/site/"), "/site/sub/");
    EXPECT_EQ(DotDot("../a.gif", "site/"), "a.gif");
    // Above the root of an absolute base a ".." climbs no further, as in a browser.
    EXPECT_EQ(DotDot("../../../a.gif", "/site/"), "/a.gif");
    EXPECT_EQ(DotDot("..", "/"), "/");
    EXPECT_EQ(DotDot("../x/./../b/", "/"), "/b/");
}

// The examples of the URI standard's resolution rules.
TEST(Url, ReferencesResolveAgainstAFullBase) {
    const std::string base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {";x", "http://a/b/c/;x"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/../y", "http://a/b/c/y"},
    };
    for (const auto& [ref, want] : cases)
        EXPECT_EQ(ResolveReference(base, ref), want) << ref;
    EXPECT_EQ(ResolveReference("http://host", "x.htm"), "http://host/x.htm");
    // Found by fuzzing: a base tag's URL may hold dot segments, which a reference with an
    // empty path kept.
    EXPECT_EQ(ResolveReference("http://a/b/./c/..", "?y"), "http://a/b/?y");
    EXPECT_EQ(ResolveReference("http://host/dir/.", ""), "http://host/dir/");
}

}  // namespace ts::test
