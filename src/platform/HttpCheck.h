// Asks web servers whether URLs answer, many at once from one thread (libcurl's multi
// interface): a limit on all requests in flight and one per host, HEAD first and GET when a
// server refuses HEAD, redirects followed here so that a permanent move is told from a
// temporary one, and a few retries with back-off for time-outs, 429 and 503.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ts {

// A request header, for every host ("") or for one ("example.org" or "example.org:8080").
struct HttpHeader {
    std::string host;
    std::string line;  // "Name: value"
};

struct HttpCheckOptions {
    int maxConnections = 32;
    int maxPerHost = 4;
    int timeoutSeconds = 20;
    int retries = 2;
    int maxRedirects = 10;
    // The longest Retry-After waited for; a server that asks for more is not waited for.
    int maxRetryAfterSeconds = 60;
    std::string userAgent;
    std::vector<HttpHeader> headers;
};

// Why no answer came.
enum class HttpFailure : unsigned char {
    None,
    Timeout,
    Dns,
    Tls,
    Refused,
    Closed,
    TooManyRedirects,
    RedirectLoop,
    BadUrl,
    Other,
};

struct HttpAnswer {
    int code = 0;  // the last HTTP status; 0 when none came
    HttpFailure failure = HttpFailure::None;
    std::string detail;    // the library's words for a failure
    std::string finalUrl;  // where the redirects ended
    // Where the leading permanent redirects (301, 308) lead; "" when the first answer was
    // no permanent redirect.
    std::string movedTo;
    // The answer was a bot challenge (a page that asks for a browser), not the resource.
    bool challenge = false;
};

// The words for an answer in a report: "404 Not Found", "time-out", "TLS failure (...)".
std::string AnswerText(const HttpAnswer& answer);

// The host and port of an http or https URL as requests are limited by ("example.org:443");
// "" when url is none.
std::string HostKeyOf(const std::string& url);

class CHttpCheck {
public:
    explicit CHttpCheck(HttpCheckOptions options);

    // Asks for every URL; done(i, answer) is called on this thread as urls[i] ends. cancelled
    // is asked at least ten times a second; when it says yes, every request is dropped at once
    // and Run returns false.
    bool Run(const std::vector<std::string>& urls,
             const std::function<void(size_t, const HttpAnswer&)>& done,
             const std::function<bool()>& cancelled);

private:
    HttpCheckOptions m_options;
};

}  // namespace ts
