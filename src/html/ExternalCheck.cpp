#include "html/ExternalCheck.h"

#include "base/Findings.h"
#include "base/Progress.h"
#include "base/ReportStream.h"
#include "base/UrlCache.h"
#include "html/LinkReports.h"
#include "html/Url.h"
#include "platform/ShownText.h"
#include "platform/Text.h"

namespace ts {

namespace {

bool IsHttp(const std::string& url) {
    auto starts = [&url](std::string_view scheme) {
        return url.size() >= scheme.size() && EqualsNoCase(url.substr(0, scheme.size()), scheme);
    };
    return starts("http:") || starts("https:");
}

FindingKind KindOf(UrlVerdict verdict) {
    switch (verdict) {
        case UrlVerdict::Moved:
            return FindingKind::ExternalMoved;
        case UrlVerdict::Blocked:
            return FindingKind::ExternalUnchecked;
        default:
            return FindingKind::ExternalFailed;
    }
}

const char* HeadingOf(UrlVerdict verdict) {
    switch (verdict) {
        case UrlVerdict::Moved:
            return "EXTERNAL URLS THAT MOVED:";
        case UrlVerdict::Blocked:
            return "EXTERNAL URLS THAT COULD NOT BE CHECKED:";
        default:
            return "EXTERNAL URLS THAT FAILED:";
    }
}

}  // namespace

UrlVerdict Judge(const HttpAnswer& answer, const ExternalOptions& options,
                 const std::string& hostKey) {
    if (answer.failure != HttpFailure::None) return UrlVerdict::Failed;
    if (answer.challenge) return UrlVerdict::Blocked;
    if (options.Accepts(hostKey, answer.code))
        return answer.movedTo.empty() ? UrlVerdict::Ok : UrlVerdict::Moved;
    // 999 is what some large sites answer to anything that is not a browser.
    const int c = answer.code;
    if (c == 401 || c == 403 || c == 429 || c == 999) return UrlVerdict::Blocked;
    return UrlVerdict::Failed;
}

CExternalCheck::CExternalCheck(const ExternalOptions& options, CFileSystem& fs)
    : m_options(options), m_fs(fs) {
    for (const std::string& pattern : m_options.excluded)
        m_excluded.emplace_back(pattern, std::regex::ECMAScript | std::regex::optimize);
    if (m_options.useCache && m_options.cacheHours > 0) {
        m_cache = std::make_unique<CUrlCache>(CUrlCache::DefaultPath(), m_options.cacheHours);
        m_cache->Load(m_fs);
    }
}

CExternalCheck::~CExternalCheck() = default;

int CExternalCheck::Collect(const CHtmlNode& page) {
    if (!page.HasLinks() || !page.m_pTags) return 0;
    int any = 0;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        if (tag.m_nKind != LK_EXTERNAL) continue;
        const std::string written = tag.m_strUrl.Str();
        if (!IsHttp(written)) continue;
        auto [at, added] = m_byWritten.emplace(written, m_urls.size());
        if (added) {
            std::string asked = RequestForm(written);
            auto [same, fresh] = m_byAsked.emplace(asked, m_urls.size());
            if (fresh) {
                Url url;
                url.asked = std::move(asked);
                url.shown = ShownUrl(tag);
                url.excluded = std::any_of(
                    m_excluded.begin(), m_excluded.end(),
                    [&url](const std::regex& re) { return std::regex_search(url.asked, re); });
                m_urls.push_back(std::move(url));
            }
            at->second = same->second;
        }
        m_urls[at->second].refs.push_back(
            {page.m_strPath, tag.m_nLine, static_cast<int>(tag.m_nColumn)});
        any = 1;
    }
    return any;
}

bool CExternalCheck::Run(CProgress& progress) {
    std::vector<std::string> ask;
    std::vector<size_t> which;
    for (size_t i = 0; i < m_urls.size(); ++i) {
        Url& url = m_urls[i];
        if (url.excluded) continue;
        if (m_cache && m_cache->Find(url.asked, url.answer)) {
            url.cached = true;
            url.verdict = Judge(url.answer, m_options, HostKeyOf(url.asked));
            ++m_fromCache;
            ++m_answered;
            continue;
        }
        ask.push_back(url.asked);
        which.push_back(i);
    }
    if (ask.empty()) return true;
    progress.Begin("Checking External URLs", static_cast<int>(ask.size()));
    size_t done = 0;
    CHttpCheck http(m_options.http);
    const bool whole = http.Run(
        ask,
        [&](size_t i, const HttpAnswer& answer) {
            Url& url = m_urls[which[i]];
            url.answer = answer;
            url.verdict = Judge(answer, m_options, HostKeyOf(url.asked));
            if (m_cache) m_cache->Put(url.asked, answer);
            ++done;
            ++m_answered;
            progress.SetFile(url.shown);
        },
        [&] {
            return progress.SetDirectory(
                Format("%zu of %zu external URLs answered", done, ask.size()));
        });
    progress.End();
    m_cancelled = !whole;
    return whole;
}

std::string CExternalCheck::SaveCache() {
    return m_cache ? m_cache->Save(m_fs) : std::string();
}

std::string CExternalCheck::CachePath() const {
    return CUrlCache::DefaultPath();
}

const CExternalCheck::Url* CExternalCheck::Find(const CHtmlNode::CTag& tag) const {
    auto it = m_byWritten.find(tag.m_strUrl.Str());
    return it == m_byWritten.end() ? nullptr : &m_urls[it->second];
}

// A failure at the end of redirects names where it happened.
std::string CExternalCheck::Words(const Url& url) const {
    std::string words = AnswerText(url.answer);
    if (url.verdict != UrlVerdict::Moved && !url.answer.finalUrl.empty() &&
        url.answer.finalUrl != url.asked)
        words += " at " + url.answer.finalUrl;
    return words;
}

void CExternalCheck::WriteSection(CReportStream& out, CFindings* findings,
                                  UrlVerdict verdict) const {
    bool any = false;
    for (const Url& url : m_urls) {
        if (url.verdict != verdict) continue;
        if (!any) out << HeadingBlock(HeadingOf(verdict));
        any = true;
        const std::string words = Words(url);
        if (verdict == UrlVerdict::Moved)
            out << "\n"
                << ShownName(url.shown) << "\n   --------> " << ShownName(url.answer.movedTo)
                << "\n";
        else
            out << "\n" << ShownName(url.shown) << "\n   " << ShownName(words) << "\n";
        for (const Ref& ref : url.refs) {
            out << "   In file \"" << ShownName(ref.file) << "\", line " << ref.line << "\n";
            if (!findings) continue;
            Finding f;
            f.kind = KindOf(verdict);
            f.file = ref.file;
            f.line = ref.line;
            f.column = ref.column;
            f.link = url.shown;
            f.newName = verdict == UrlVerdict::Moved ? url.answer.movedTo : std::string();
            f.message = verdict == UrlVerdict::Moved ? "moved permanently" : words;
            findings->Add(std::move(f));
        }
    }
    if (any) out << kSectionGap;
}

int CExternalCheck::Write(CReportStream& out, CFindings* findings) const {
    WriteSection(out, findings, UrlVerdict::Failed);
    WriteSection(out, findings, UrlVerdict::Moved);
    WriteSection(out, findings, UrlVerdict::Blocked);
    size_t failed = 0, excluded = 0;
    for (const Url& url : m_urls) {
        failed += url.verdict == UrlVerdict::Failed;
        excluded += url.excluded;
    }
    out << HeadingBlock("EXTERNAL URL CHECK:");
    const size_t asked = m_urls.size() - excluded;
    if (m_urls.empty())
        out << "No external http or https URLs to check!\n";
    else if (m_cancelled)
        out << Format("The check was cancelled: %zu of %zu external URLs were checked.\n",
                      m_answered, asked);
    else if (failed == 0)
        out << Format("All %zu external URLs checked answered!\n", asked);
    else
        out << Format("%zu of %zu external URLs checked failed.\n", failed, asked);
    if (m_fromCache > 0)
        out << Format("%zu answers were taken from the cache of earlier runs.\n", m_fromCache);
    if (excluded > 0) out << Format("%zu URLs were left out as excluded.\n", excluded);
    out << kSectionGap;
    return static_cast<int>(failed);
}

const std::string* CExternalCheck::MovedTo(const std::string& url) const {
    auto it = m_byWritten.find(url);
    if (it == m_byWritten.end()) return nullptr;
    const Url& u = m_urls[it->second];
    return u.verdict == UrlVerdict::Moved ? &u.answer.movedTo : nullptr;
}

std::vector<std::pair<std::string, std::string>> CExternalCheck::Moved() const {
    std::vector<std::pair<std::string, std::string>> moved;
    for (const Url& url : m_urls)
        if (url.verdict == UrlVerdict::Moved) moved.emplace_back(url.shown, url.answer.movedTo);
    return moved;
}

std::string CExternalCheck::PageMark(const CHtmlNode::CTag& tag) const {
    const Url* url = Find(tag);
    if (!url) return {};
    switch (url->verdict) {
        case UrlVerdict::Failed:
            return " <b>[dead: " + HtmlEscape(Words(*url)) + "]</b>";
        case UrlVerdict::Moved: {
            const std::string to = HtmlEscape(url->answer.movedTo);
            return " <b>[moved to <a href=\"" + to + "\">" + to + "</a>]</b>";
        }
        case UrlVerdict::Blocked:
            return " <i>[could not be checked: " + HtmlEscape(Words(*url)) + "]</i>";
        default:
            return {};
    }
}

}  // namespace ts
