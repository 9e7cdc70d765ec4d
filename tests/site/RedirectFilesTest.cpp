// The text of the redirect forms for the names servers find hard: blanks, quotes, a backslash,
// bytes beyond ASCII, and the site's published prefix. Real servers read these files in
// tests/e2e/redirect_servers.py.
#include <gtest/gtest.h>

#include "site/RedirectFiles.h"

namespace ts {
namespace {

std::vector<RedirectRule> Rules() {
    return {{"/docs/My Page.html", "/docs/MYPAGE.HTM", false, nullptr},
            {"/docs/say \"hi\".html", "/docs/SAYHI.HTM", false, nullptr},
            {"/docs/café", "/docs/CAFE", true, nullptr},
            {"/docs/tab\there.html", "/docs/TAB HERE.HTM", false, nullptr}};
}

TEST(RedirectFiles, EachFormNamesEveryOldPathAsItsServerReadsIt) {
    EXPECT_EQ(SitePrefixOf({"https://example.org/docs/"}), "/docs");
    EXPECT_EQ(SitePrefixOf({"//mirror.example.net/"}), "");
    EXPECT_EQ(SitePrefixOf({}), "");
    EXPECT_EQ(EncodedPath("/a b/é~x.html"), "/a%20b/%C3%A9~x.html");

    const std::string apache = RulesBlock(REDIRECTS_APACHE, Rules(), "/docs", "STAMP");
    EXPECT_EQ(apache,
              "# BEGIN Tessary redirects STAMP\n"
              "Redirect 301 \"/docs/My Page.html\" /docs/MYPAGE.HTM\n"
              "Redirect 301 \"/docs/say \\\"hi\\\".html\" /docs/SAYHI.HTM\n"
              "Redirect 301 \"/docs/café\" /docs/CAFE\n"
              "RewriteEngine On\n"
              // No configuration line holds a tab: matched below the directory of the
              // .htaccess, with "%" in the target kept from reading as a reference.
              "RewriteRule ^tab\\x09here\\.html$ /docs/TAB\\%20HERE.HTM "
              "\"[R=301,L,NE,B= ?#%,BNP]\"\n"
              "# END Tessary redirects STAMP\n");

    const std::string nginx = RulesBlock(REDIRECTS_NGINX, Rules(), "/docs", "S");
    EXPECT_NE(nginx.find("location = \"/docs/say \\\"hi\\\".html\" { return 301 "
                         "\"/docs/SAYHI.HTM\"; }\n"),
              std::string::npos)
        << nginx;
    EXPECT_NE(nginx.find("location ^~ \"/docs/café/\" { rewrite \"^/docs/café/(.*)$\" "
                         "\"/docs/CAFE/$1\" permanent; }\n"),
              std::string::npos)
        << nginx;

    const std::string netlify = RulesBlock(REDIRECTS_NETLIFY, Rules(), "/docs", "S");
    EXPECT_NE(netlify.find("\n/docs/My%20Page.html /docs/MYPAGE.HTM 301\n"), std::string::npos);
    EXPECT_NE(netlify.find("\n/docs/caf%C3%A9/* /docs/CAFE/:splat 301\n"), std::string::npos);
    // One word per field: no blank inside a path.
    for (size_t at = netlify.find('\n') + 1; at < netlify.size(); at = netlify.find('\n', at) + 1) {
        const std::string line = netlify.substr(at, netlify.find('\n', at) - at);
        if (line.starts_with("#")) continue;
        EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 2) << line;
    }
    EXPECT_EQ(RulesBlock(REDIRECTS_APACHE, {}, "", "S"), "");

    const std::string stub = StubPage("a&b <new>.htm");
    EXPECT_NE(stub.find("content=\"0; url=./a%26b%20%3Cnew%3E.htm\""), std::string::npos);
    EXPECT_NE(stub.find(">a&amp;b &lt;new&gt;.htm</a>"), std::string::npos);
}

}  // namespace
}  // namespace ts
