// The check of the site's external links: every distinct http or https URL of the pages walked
// is asked for once, however many pages hold it (from the cache when a recent answer is kept
// there); each answer is judged as working, failed, moved, or refused to a robot, and listed
// once with every file and line that holds the URL.
#pragma once

#include <memory>
#include <regex>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ExternalOptions.h"
#include "html/HtmlNode.h"
#include "platform/HttpCheck.h"

namespace ts {

class CFileSystem;
class CFindings;
class CProgress;
class CReportStream;
class CUrlCache;

enum class UrlVerdict : unsigned char {
    Unchecked,  // not asked for: excluded, or the check was cancelled first
    Ok,
    Failed,
    Moved,    // a permanent redirect to a working address
    Blocked,  // an answer that says "not to you" rather than "gone" (401, 403, 429, a challenge)
};

// What an answer means, with the options' accepted codes for the URL's host.
UrlVerdict Judge(const HttpAnswer& answer, const ExternalOptions& options,
                 const std::string& hostKey);

class CExternalCheck {
public:
    // fs holds the cache of answers (outside the site).
    CExternalCheck(const ExternalOptions& options, CFileSystem& fs);
    ~CExternalCheck();

    // Takes the external links of one page; 1 when it has any to check (a walk's pass).
    int Collect(const CHtmlNode& page);
    // Asks for the URLs that are not excluded nor answered by the cache; false when the user
    // cancelled, and then the URLs not yet answered stay unchecked.
    bool Run(CProgress& progress);
    // Writes the sections of the failed, moved and unchecked URLs, and the counts; records
    // findings when findings is not null. The number of URLs that failed.
    int Write(CReportStream& out, CFindings* findings) const;
    // Keeps the working answers for the next run; "" or what went wrong.
    std::string SaveCache();
    std::string CachePath() const;

    // The address a link's URL (as its record holds it) moved to; null when it did not move.
    const std::string* MovedTo(const std::string& url) const;
    // The URLs that moved (as reports show them) and their new addresses, in the walk's order.
    std::vector<std::pair<std::string, std::string>> Moved() const;

    // The mark of a link on the external-URL page (HTML): "" when the link works or was not
    // checked.
    std::string PageMark(const CHtmlNode::CTag& tag) const;

private:
    struct Ref {
        std::string file;
        int line;
        int column;
    };
    struct Url {
        std::string asked;  // as requested: escaped where a browser would escape it
        std::string shown;  // as reports show it: decoded
        std::vector<Ref> refs;
        UrlVerdict verdict = UrlVerdict::Unchecked;
        HttpAnswer answer;
        bool excluded = false;
        bool cached = false;
    };
    const Url* Find(const CHtmlNode::CTag& tag) const;
    std::string Words(const Url& url) const;
    void WriteSection(CReportStream& out, CFindings* findings, UrlVerdict verdict) const;

    ExternalOptions m_options;
    CFileSystem& m_fs;
    std::vector<std::regex> m_excluded;
    std::unique_ptr<CUrlCache> m_cache;
    std::vector<Url> m_urls;
    // By the URL as the link records hold it, and by the URL asked for.
    std::unordered_map<std::string, size_t> m_byWritten;
    std::unordered_map<std::string, size_t> m_byAsked;
    size_t m_answered = 0;
    size_t m_fromCache = 0;
    bool m_cancelled = false;
};

}  // namespace ts
