#include "base/UrlCache.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/SafeRewrite.h"

namespace ts {

namespace {

constexpr const char* kHeader = "# tessary external URL answers 1";

std::string Field(const std::string& s) {
    return s.empty() ? "-" : s;
}
std::string Unfield(const std::string& s) {
    return s == "-" ? std::string() : s;
}

}  // namespace

CUrlCache::CUrlCache(std::string path, int validHours)
    : m_path(std::move(path)),
      m_validSeconds(static_cast<std::time_t>(validHours) * 3600),
      m_now(std::time(nullptr)) {}

std::string CUrlCache::DefaultPath() {
    return UserDirectory("XDG_CACHE_HOME", ".cache") + "/tessary/external-urls";
}

bool CUrlCache::Valid(const Entry& e) const {
    return e.when <= m_now && m_now - e.when < m_validSeconds;
}

void CUrlCache::Load(CFileSystem& fs) {
    std::string text;
    if (!ReadWholeFile(fs, m_path, text)) return;
    std::stringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');)
            f.push_back(part);
        if (f.size() != 5) continue;
        Entry e{};
        char* end = nullptr;
        e.when = static_cast<std::time_t>(std::strtoll(f[0].c_str(), &end, 10));
        e.answer.code = std::atoi(f[1].c_str());
        e.answer.movedTo = Unfield(f[2]);
        e.answer.finalUrl = Unfield(f[3]);
        if (*end == '\0' && Valid(e)) m_entries[f[4]] = e;
    }
}

bool CUrlCache::Find(const std::string& url, HttpAnswer& answer) const {
    auto it = m_entries.find(url);
    if (it == m_entries.end() || !Valid(it->second)) return false;
    answer = it->second.answer;
    return true;
}

void CUrlCache::Put(const std::string& url, const HttpAnswer& answer) {
    if (answer.failure != HttpFailure::None || answer.challenge || answer.code < 200 ||
        answer.code > 299 || url.find_first_of("\t\n") != std::string::npos)
        return;
    m_entries[url] = Entry{m_now, answer};
}

std::string CUrlCache::Save(CFileSystem& fs) const {
    const std::string dir = DirName(m_path);
    if (!MakeDirectories(dir)) return dir + ": " + std::strerror(errno);
    std::ostringstream out;
    out << kHeader << "\n";
    for (const auto& [url, e] : m_entries)
        if (Valid(e))
            out << e.when << '\t' << e.answer.code << '\t' << Field(e.answer.movedTo) << '\t'
                << Field(e.answer.finalUrl) << '\t' << url << '\n';
    if (CResult r = RewriteWholeFile(fs, m_path, out.str(), 0600); !r)
        return m_path + ": " + std::strerror(r.Error());
    return {};
}

}  // namespace ts
