#include "platform/HttpCheck.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <set>
#include <utility>

#include "platform/Text.h"

namespace ts {

namespace {

using Clock = std::chrono::steady_clock;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A URL as it is asked for: http or https only, without user name and password (nothing a
// page says is sent as a credential) and without the fragment; host is its host key. ""
// when the URL is none the check may ask for.
std::string RequestUrl(const std::string& url, std::string* host) {
    GlobalInit();
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
    auto part = [&u](CURLUPart which, unsigned flags) {
        char* text = nullptr;
        std::string value;
        if (curl_url_get(u.get(), which, &text, flags) == CURLUE_OK && text) value = text;
        curl_free(text);
        return value;
    };
    const std::string scheme = ToLower(part(CURLUPART_SCHEME, 0));
    if (scheme != "http" && scheme != "https") return {};
    const std::string name = ToLower(part(CURLUPART_HOST, 0));
    if (name.empty()) return {};
    if (host) *host = name + ":" + part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    curl_url_set(u.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(u.get(), CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(u.get(), CURLUPART_FRAGMENT, nullptr, 0);
    return part(CURLUPART_URL, 0);
}

bool IsRedirect(long code) {
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

HttpFailure FailureOf(CURLcode rc) {
    static const std::map<CURLcode, HttpFailure> failures = {
        {CURLE_OPERATION_TIMEDOUT, HttpFailure::Timeout},
        {CURLE_COULDNT_RESOLVE_HOST, HttpFailure::Dns},
        {CURLE_COULDNT_RESOLVE_PROXY, HttpFailure::Dns},
        {CURLE_SSL_CONNECT_ERROR, HttpFailure::Tls},
        {CURLE_PEER_FAILED_VERIFICATION, HttpFailure::Tls},
        {CURLE_SSL_CERTPROBLEM, HttpFailure::Tls},
        {CURLE_SSL_CIPHER, HttpFailure::Tls},
        {CURLE_SSL_CACERT_BADFILE, HttpFailure::Tls},
        {CURLE_SSL_ISSUER_ERROR, HttpFailure::Tls},
        {CURLE_SSL_PINNEDPUBKEYNOTMATCH, HttpFailure::Tls},
        {CURLE_SSL_INVALIDCERTSTATUS, HttpFailure::Tls},
        {CURLE_SSL_CRL_BADFILE, HttpFailure::Tls},
        {CURLE_COULDNT_CONNECT, HttpFailure::Refused},
        {CURLE_GOT_NOTHING, HttpFailure::Closed},
        {CURLE_RECV_ERROR, HttpFailure::Closed},
        {CURLE_SEND_ERROR, HttpFailure::Closed},
        {CURLE_PARTIAL_FILE, HttpFailure::Closed},
        {CURLE_HTTP2, HttpFailure::Closed},
        {CURLE_HTTP2_STREAM, HttpFailure::Closed},
        {CURLE_URL_MALFORMAT, HttpFailure::BadUrl},
        {CURLE_UNSUPPORTED_PROTOCOL, HttpFailure::BadUrl},
    };
    auto it = failures.find(rc);
    return it == failures.end() ? HttpFailure::Other : it->second;
}

// One URL on its way: the request now due, and what its redirects said so far.
struct Job {
    size_t index = 0;
    std::string url;
    std::string host;
    bool get = false;
    int hops = 0;
    int attempts = 0;
    bool allPermanent = true;
    std::string movedTo;
    std::set<std::string> seen;
    // Of the request in flight.
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    long retryAfter = -1;
    bool challenge = false;
    bool bodyCut = false;
    // Asked again on a connection of its own after a kept one failed it.
    bool fresh = false;
    std::array<char, CURL_ERROR_SIZE> error{};
};

struct Host {
    std::deque<Job*> waiting;
    int active = 0;
    bool ready = false;  // in the round of hosts that may start a request
    // A connection kept from an earlier request failed the next one: each request now gets a
    // connection of its own, closed after it.
    bool noReuse = false;
};

struct Delayed {
    Clock::time_point due;
    Job* job;
    bool operator>(const Delayed& other) const { return due > other.due; }
};

size_t HeaderLine(char* data, size_t size, size_t count, void* user) {
    Job& job = *static_cast<Job*>(user);
    const std::string line = ToLower(std::string(data, size * count));
    if (line.starts_with("retry-after:")) {
        const std::string value = std::string(data + 12, size * count - 12);
        char* end = nullptr;
        const long seconds = std::strtol(value.c_str(), &end, 10);
        if (end != value.c_str() && seconds >= 0) {
            job.retryAfter = seconds;
        } else {
            // An HTTP date instead of seconds.
            const time_t when = curl_getdate(value.c_str(), nullptr);
            if (when > 0)
                job.retryAfter = std::max<long>(0, static_cast<long>(when - time(nullptr)));
        }
    } else if (line.starts_with("cf-mitigated:") && line.find("challenge") != std::string::npos) {
        job.challenge = true;
    }
    return size * count;
}

// The status is all a check needs: the body's first bytes end the transfer.
size_t BodyData(char*, size_t, size_t, void* user) {
    static_cast<Job*>(user)->bodyCut = true;
    return 0;
}

bool HostMatches(const std::string& pattern, const std::string& hostKey) {
    const std::string p = ToLower(pattern);
    return p == hostKey || p == hostKey.substr(0, hostKey.rfind(':'));
}

class Runner {
public:
    Runner(const HttpCheckOptions& options,
           const std::function<void(size_t, const HttpAnswer&)>& done)
        : m_options(options), m_done(done), m_multi(curl_multi_init()) {
        curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, long(options.maxPerHost));
        curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(options.maxConnections));
        curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, long(options.maxConnections));
    }
    ~Runner() {
        for (Job& job : m_jobs)
            Release(job);
        curl_multi_cleanup(m_multi);
    }

    bool Run(const std::vector<std::string>& urls, const std::function<bool()>& cancelled);

private:
    void Queue(Job& job, bool front);
    void Fill();
    void Start(Job& job);
    void Collect();
    void Ended(Job& job, CURLcode rc);
    // True when the failure came on a connection kept from an earlier request: the request
    // is asked again on a new one.
    bool Afresh(Job& job, CURLcode rc);
    void Redirected(Job& job, long code, const char* location);
    void Retry(Job& job, std::chrono::milliseconds delay);
    void Finish(Job& job, HttpAnswer answer);
    void Release(Job& job);
    int WaitMs() const;

    const HttpCheckOptions& m_options;
    const std::function<void(size_t, const HttpAnswer&)>& m_done;
    CURLM* m_multi;
    std::vector<Job> m_jobs;
    std::map<std::string, Host> m_hosts;
    std::deque<Host*> m_ready;
    std::priority_queue<Delayed, std::vector<Delayed>, std::greater<>> m_delayed;
    int m_active = 0;
    size_t m_open = 0;  // URLs not yet done
};

bool Runner::Run(const std::vector<std::string>& urls, const std::function<bool()>& cancelled) {
    m_jobs.resize(urls.size());
    m_open = urls.size();
    for (size_t i = 0; i < urls.size(); ++i) {
        Job& job = m_jobs[i];
        job.index = i;
        job.url = RequestUrl(urls[i], &job.host);
        if (job.url.empty()) {
            HttpAnswer bad;
            bad.failure = HttpFailure::BadUrl;
            Finish(job, bad);
            continue;
        }
        job.seen.insert(job.url);
        Queue(job, false);
    }
    while (m_open > 0) {
        if (cancelled()) return false;
        const auto now = Clock::now();
        while (!m_delayed.empty() && m_delayed.top().due <= now) {
            Job* job = m_delayed.top().job;
            m_delayed.pop();
            Queue(*job, true);
        }
        Fill();
        int running = 0;
        curl_multi_perform(m_multi, &running);
        Collect();
        if (m_open == 0) break;
        Fill();
        curl_multi_poll(m_multi, nullptr, 0, WaitMs(), nullptr);
    }
    return true;
}

// At most a tenth of a second, so that a cancel is seen at once, and no longer than the
// next retry is due.
int Runner::WaitMs() const {
    int wait = 100;
    if (!m_delayed.empty()) {
        const auto until = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_delayed.top().due - Clock::now());
        wait = std::clamp(static_cast<int>(until.count()), 0, wait);
    }
    return wait;
}

void Runner::Queue(Job& job, bool front) {
    Host& host = m_hosts[job.host];
    if (front)
        host.waiting.push_front(&job);
    else
        host.waiting.push_back(&job);
    if (!host.ready && host.active < m_options.maxPerHost) {
        host.ready = true;
        m_ready.push_back(&host);
    }
}

// Hosts take turns, so that one host with many URLs does not hold back the others.
void Runner::Fill() {
    while (m_active < m_options.maxConnections && !m_ready.empty()) {
        Host* host = m_ready.front();
        m_ready.pop_front();
        Job* job = host->waiting.front();
        host->waiting.pop_front();
        ++host->active;
        ++m_active;
        Start(*job);
        if (!host->waiting.empty() && host->active < m_options.maxPerHost)
            m_ready.push_back(host);
        else
            host->ready = false;
    }
}

void Runner::Start(Job& job) {
    if (!job.easy)
        job.easy = curl_easy_init();
    else
        curl_easy_reset(job.easy);
    if (job.headers) curl_slist_free_all(job.headers);
    job.headers = nullptr;
    for (const HttpHeader& h : m_options.headers)
        if (h.host.empty() || HostMatches(h.host, job.host))
            job.headers = curl_slist_append(job.headers, h.line.c_str());
    job.retryAfter = -1;
    job.challenge = job.bodyCut = false;
    job.error[0] = '\0';
    CURL* e = job.easy;
    curl_easy_setopt(e, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &job);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    if (job.get)
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    else
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    if (job.fresh || m_hosts[job.host].noReuse) {
        curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    }
    const long timeout = 1000L * m_options.timeoutSeconds;
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeout);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, std::min(timeout, 10000L));
    curl_easy_setopt(e, CURLOPT_USERAGENT, m_options.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, job.headers);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, HeaderLine);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &job);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, BodyData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &job);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, job.error.data());
    curl_multi_add_handle(m_multi, e);
}

void Runner::Collect() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        Job* job = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &job);
        const CURLcode rc = msg->data.result;
        curl_multi_remove_handle(m_multi, msg->easy_handle);
        Host& host = m_hosts[job->host];
        --host.active;
        --m_active;
        if (!host.ready && !host.waiting.empty()) {
            host.ready = true;
            m_ready.push_back(&host);
        }
        Ended(*job, rc);
    }
}

void Runner::Ended(Job& job, CURLcode rc) {
    const int retries = m_options.retries;
    HttpAnswer answer;
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && job.bodyCut)) {
        if (Afresh(job, rc)) return;
        answer.failure = FailureOf(rc);
        answer.detail = job.error[0] ? job.error.data() : curl_easy_strerror(rc);
        if (answer.failure == HttpFailure::Timeout && job.attempts < retries)
            return Retry(job, std::chrono::seconds(1L << job.attempts));
        return Finish(job, answer);
    }
    long code = 0;
    curl_easy_getinfo(job.easy, CURLINFO_RESPONSE_CODE, &code);
    if (!job.get && (code == 405 || code == 501)) {
        job.get = true;
        return Queue(job, true);
    }
    if ((code == 429 || code == 503) && job.attempts < retries &&
        job.retryAfter <= m_options.maxRetryAfterSeconds) {
        if (job.retryAfter >= 0) return Retry(job, std::chrono::seconds(job.retryAfter));
        return Retry(job, std::chrono::seconds(1L << job.attempts));
    }
    char* location = nullptr;
    curl_easy_getinfo(job.easy, CURLINFO_REDIRECT_URL, &location);
    if (IsRedirect(code) && location && *location) return Redirected(job, code, location);
    answer.code = static_cast<int>(code);
    answer.challenge = job.challenge;
    Finish(job, answer);
}

// A server may answer HEAD with a body. libcurl stops reading at the end of the headers (a
// HEAD answer has no body, and its Content-Length is the GET's), so the body is left on the
// connection, which goes back to the pool, and the next request there reads it as its answer
// ("Received HTTP/0.9"). Nothing tells such an answer when it comes; the request it spoils
// does: a failure, no time-out, on a kept connection. That request is asked again, once, on a
// new connection, and the host's later requests never share one, so the bad answer spoils no
// other. (A kept connection the server closed is asked again by libcurl itself.)
bool Runner::Afresh(Job& job, CURLcode rc) {
    long connects = 0;
    if (job.fresh || rc == CURLE_OPERATION_TIMEDOUT ||
        curl_easy_getinfo(job.easy, CURLINFO_NUM_CONNECTS, &connects) != CURLE_OK || connects > 0)
        return false;
    job.fresh = true;
    m_hosts[job.host].noReuse = true;
    Queue(job, true);
    return true;
}

// Follows a redirect by hand: a loop is caught the first time it comes round, and the leading
// permanent redirects give the address the URL moved to.
void Runner::Redirected(Job& job, long code, const char* location) {
    std::string host;
    const std::string next = RequestUrl(location, &host);
    HttpAnswer answer;
    answer.code = static_cast<int>(code);
    if (next.empty()) {
        answer.failure = HttpFailure::BadUrl;
        answer.detail = location;
    } else if (++job.hops > m_options.maxRedirects) {
        answer.failure = HttpFailure::TooManyRedirects;
    } else if (!job.seen.insert(next).second) {
        answer.failure = HttpFailure::RedirectLoop;
    } else {
        if (job.allPermanent && (code == 301 || code == 308))
            job.movedTo = next;
        else
            job.allPermanent = false;
        job.url = next;
        job.host = host;
        job.attempts = 0;
        job.fresh = false;
        return Queue(job, true);
    }
    answer.finalUrl = job.url;
    Finish(job, answer);
}

void Runner::Retry(Job& job, std::chrono::milliseconds delay) {
    ++job.attempts;
    m_delayed.push({Clock::now() + delay, &job});
}

void Runner::Finish(Job& job, HttpAnswer answer) {
    if (answer.finalUrl.empty()) answer.finalUrl = job.url;
    answer.movedTo = job.movedTo;
    Release(job);
    --m_open;
    m_done(job.index, answer);
}

void Runner::Release(Job& job) {
    if (job.easy) {
        curl_multi_remove_handle(m_multi, job.easy);
        curl_easy_cleanup(job.easy);
        job.easy = nullptr;
    }
    if (job.headers) curl_slist_free_all(job.headers);
    job.headers = nullptr;
}

const char* ReasonOf(int code) {
    static const std::map<int, const char*> reasons = {
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {203, "Non-Authoritative Information"},
        {204, "No Content"},
        {206, "Partial Content"},
        {300, "Multiple Choices"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {418, "I'm a teapot"},
        {429, "Too Many Requests"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
    };
    auto it = reasons.find(code);
    return it == reasons.end() ? nullptr : it->second;
}

}  // namespace

std::string AnswerText(const HttpAnswer& a) {
    auto with = [&a](const char* text) {
        return a.detail.empty() ? std::string(text) : std::string(text) + " (" + a.detail + ")";
    };
    switch (a.failure) {
        case HttpFailure::None:
            break;
        case HttpFailure::Timeout:
            return "time-out";
        case HttpFailure::Dns:
            return with("DNS failure");
        case HttpFailure::Tls:
            return with("TLS failure");
        case HttpFailure::Refused:
            return "connection refused";
        case HttpFailure::Closed:
            return "connection closed without an answer";
        case HttpFailure::TooManyRedirects:
            return "too many redirects";
        case HttpFailure::RedirectLoop:
            return "redirect loop";
        case HttpFailure::BadUrl:
            return with("not a URL that can be checked");
        case HttpFailure::Other:
            return with("failure");
    }
    if (a.challenge) return std::to_string(a.code) + " challenge page";
    const char* reason = ReasonOf(a.code);
    return reason ? std::to_string(a.code) + " " + reason : "HTTP " + std::to_string(a.code);
}

std::string HostKeyOf(const std::string& url) {
    std::string host;
    return RequestUrl(url, &host).empty() ? std::string() : host;
}

CHttpCheck::CHttpCheck(HttpCheckOptions options) : m_options(std::move(options)) {
    m_options.maxConnections = std::max(1, m_options.maxConnections);
    m_options.maxPerHost = std::clamp(m_options.maxPerHost, 1, m_options.maxConnections);
    m_options.timeoutSeconds = std::max(1, m_options.timeoutSeconds);
}

bool CHttpCheck::Run(const std::vector<std::string>& urls,
                     const std::function<void(size_t, const HttpAnswer&)>& done,
                     const std::function<bool()>& cancelled) {
    GlobalInit();
    Runner runner(m_options, done);
    return runner.Run(urls, cancelled);
}

}  // namespace ts
