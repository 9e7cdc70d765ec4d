#include <gtest/gtest.h>

#include "html/CharRefs.h"

namespace ts::test {

// An attribute value's references as a browser's tokenizer reads them.
TEST(CharRefs, AttributeValuesDecodeAsBrowsersDo) {
    struct Case {
        std::string_view raw, decoded;
    };
    const Case cases[] = {
        // Named references with their ";": any of the standard's, the first and last of its
        // table, names of one and of two code points; names are case-sensitive.
        {"caf&eacute;.html", "caf\xC3\xA9.html"},
        {"&AElig;&zwnj;&CounterClockwiseContourIntegral;", "\xC3\x86\xE2\x80\x8C\xE2\x88\xB3"},
        {"&hellip;&rsquo;&nbsp;", "\xE2\x80\xA6\xE2\x80\x99\xC2\xA0"},
        {"&NotEqualTilde;", "\xE2\x89\x82\xCC\xB8"},
        {"&AMP;&amp;&Eacute;&EACUTE;", "&&\xC3\x89&EACUTE;"},
        // Without ";" only the legacy names, and in a value only when neither a letter, a
        // digit nor "=" follows.
        {"caf&eacute.html", "caf\xC3\xA9.html"},
        {"&copy", "\xC2\xA9"},
        {"a&eacutex.html", "a&eacutex.html"},
        {"?a=1&copy=2&amp=3", "?a=1&copy=2&amp=3"},
        {"&notit; &notin;", "&notit; \xE2\x88\x89"},
        {"&hellip.", "&hellip."},
        {"&amp1", "&amp1"},
        // What no name matches stays as written.
        {"& &; &&amp; &unknown; &#; &#x; &#xg", "& &; && &unknown; &#; &#x; &#xg"},
        {"&", "&"},
        // Numeric references: 128 to 159 as Windows-1252, except the five bytes it leaves
        // undefined; 0, surrogates and values beyond Unicode give U+FFFD; the ";" may be left
        // out; a CR stays a CR.
        {"x&#150;y.html", "x\xE2\x80\x93y.html"},
        {"&#128;&#x80;&#X9f;&#159", "\xE2\x82\xAC\xE2\x82\xAC\xC5\xB8\xC5\xB8"},
        {"&#129;&#x8D;&#x9D;", "\xC2\x81\xC2\x8D\xC2\x9D"},
        {"&#0;&#xD800;&#xDFFF;&#x110000;&#99999999999999999999999;",
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"&#65&#x42;&#x1F600;&#13;&#xA0;", "AB\xF0\x9F\x98\x80\r\xC2\xA0"},
    };
    for (const Case& c : cases) {
        std::string out;
        DecodeCharRefs(c.raw, out);
        EXPECT_EQ(out, c.decoded) << c.raw;
    }
    // Every decoded byte knows where it was written, so that a rewrite replaces raw bytes.
    std::string out;
    std::vector<uint32_t> rawAt;
    DecodeCharRefs("a&eacute;b&#150;&copy", out, &rawAt);
    EXPECT_EQ(out,
              "a\xC3\xA9"
              "b\xE2\x80\x93\xC2\xA9");
    EXPECT_EQ(rawAt, (std::vector<uint32_t>{0, 1, 1, 9, 10, 10, 10, 16, 16, 21}));
}

}  // namespace ts::test
