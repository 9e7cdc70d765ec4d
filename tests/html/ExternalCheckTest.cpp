// The external-URL check's own rules: the option forms, what an answer means, and which
// answers the cache keeps and for how long. The requests themselves are tested against real
// local servers (tests/e2e/external_check.py).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "base/ExternalOptions.h"
#include "base/UrlCache.h"
#include "html/ExternalCheck.h"
#include "support/TempDir.h"

namespace ts {
namespace {

TEST(ExternalOptions, HostFormsCodesAndHeaders) {
    ExternalOptions o;
    EXPECT_TRUE(o.http.userAgent.starts_with("Tessary/"));
    // A header or a code list has no host part unless it starts with one and "=".
    EXPECT_EQ(AddHeader(o, "X-Key: a=b"), "");
    EXPECT_EQ(AddHeader(o, "example.org:8080=Authorization: Bearer t=1"), "");
    ASSERT_EQ(o.http.headers.size(), 2u);
    EXPECT_EQ(o.http.headers[0].host, "");
    EXPECT_EQ(o.http.headers[0].line, "X-Key: a=b");
    EXPECT_EQ(o.http.headers[1].host, "example.org:8080");
    EXPECT_EQ(o.http.headers[1].line, "Authorization: Bearer t=1");
    EXPECT_NE(AddHeader(o, "no colon"), "");
    EXPECT_NE(AddHeader(o, "Bad Name: x"), "");

    EXPECT_EQ(AddAccept(o, "200-299, 403"), "");
    EXPECT_EQ(AddAccept(o, "Example.org=200,999"), "");
    EXPECT_NE(AddAccept(o, "299-200"), "");
    EXPECT_NE(AddAccept(o, "2xx"), "");
    EXPECT_NE(AddAccept(o, ""), "");
    EXPECT_TRUE(o.Accepts("other.net:443", 403));
    EXPECT_TRUE(o.Accepts("other.net:443", 204));  // a success stays one
    EXPECT_FALSE(o.Accepts("other.net:443", 404));
    // The host's rule replaces the general one, for any port of the host.
    EXPECT_TRUE(o.Accepts("example.org:443", 999));
    EXPECT_FALSE(o.Accepts("example.org:80", 403));
    EXPECT_TRUE(ExternalOptions().Accepts("x:80", 204));
    EXPECT_FALSE(ExternalOptions().Accepts("x:80", 301));

    EXPECT_EQ(AddExcluded(o, "^https?://ads\\."), "");
    EXPECT_NE(AddExcluded(o, "(unclosed"), "");
    EXPECT_EQ(o.excluded.size(), 1u);
}

TEST(ExternalCheck, AnswersAreJudgedByWhatTheySay) {
    ExternalOptions o;
    auto judge = [&o](int code, const std::string& moved = "", bool challenge = false) {
        HttpAnswer a;
        a.code = code;
        a.movedTo = moved;
        a.challenge = challenge;
        return Judge(a, o, "h:80");
    };
    EXPECT_EQ(judge(200), UrlVerdict::Ok);
    EXPECT_EQ(judge(200, "http://h/new"), UrlVerdict::Moved);
    EXPECT_EQ(judge(404), UrlVerdict::Failed);
    EXPECT_EQ(judge(410, "http://h/new"), UrlVerdict::Failed);
    for (int blocked : {401, 403, 429, 999})
        EXPECT_EQ(judge(blocked), UrlVerdict::Blocked) << blocked;
    EXPECT_EQ(judge(200, "", true), UrlVerdict::Blocked);
    HttpAnswer timeout;
    timeout.failure = HttpFailure::Timeout;
    EXPECT_EQ(Judge(timeout, o, "h:80"), UrlVerdict::Failed);
    EXPECT_EQ(AnswerText(timeout), "time-out");
    ASSERT_EQ(AddAccept(o, "h=200-299,403"), "");
    EXPECT_EQ(judge(403), UrlVerdict::Ok);
}

TEST(UrlCache, KeepsWorkingAnswersForTheirTime) {
    test::CTempDir dir;
    const std::string path = dir.Path() + "/deep/er/external-urls";
    HttpAnswer ok, gone, moved;
    ok.code = 200;
    gone.code = 404;
    moved.code = 204;
    moved.movedTo = "https://new.example/x";
    moved.finalUrl = moved.movedTo;
    {
        CUrlCache cache(path, 24);
        cache.Put("http://a/ok", ok);
        cache.Put("http://a/gone", gone);
        cache.Put("http://a/moved", moved);
        ASSERT_EQ(cache.Save(RealFileSystem()), "");
    }
    CUrlCache back(path, 24);
    back.Load(RealFileSystem());
    HttpAnswer a;
    EXPECT_TRUE(back.Find("http://a/ok", a));
    EXPECT_EQ(a.code, 200);
    EXPECT_FALSE(back.Find("http://a/gone", a));  // a failure is asked again
    ASSERT_TRUE(back.Find("http://a/moved", a));
    EXPECT_EQ(a.movedTo, "https://new.example/x");

    // An answer older than the profile allows, or from the future, is not used.
    {
        std::ofstream out(path, std::ios::app);
        out << (std::time(nullptr) - 25 * 3600) << "\t200\t-\t-\thttp://a/old\n";
        out << (std::time(nullptr) + 3600) << "\t200\t-\t-\thttp://a/future\n";
        out << "garbage line\n";
    }
    CUrlCache later(path, 24);
    later.Load(RealFileSystem());
    EXPECT_FALSE(later.Find("http://a/old", a));
    EXPECT_FALSE(later.Find("http://a/future", a));
    EXPECT_TRUE(later.Find("http://a/ok", a));
    CUrlCache shorter(path, 0);
    shorter.Load(RealFileSystem());
    EXPECT_FALSE(shorter.Find("http://a/ok", a));
}

}  // namespace
}  // namespace ts
