// Answers to external URLs kept between runs in $XDG_CACHE_HOME/tessary/external-urls, so
// that repeated runs (a site's CI) do not ask the same servers again within the time the
// profile allows. Only working links are kept: a failure is asked again next time, so that a
// link mended or a server back is seen at once.
#pragma once

#include <ctime>
#include <string>
#include <unordered_map>

#include "platform/HttpCheck.h"

namespace ts {

class CFileSystem;

class CUrlCache {
public:
    // validHours: how old a kept answer may be.
    CUrlCache(std::string path, int validHours);
    static std::string DefaultPath();

    // A missing file is an empty cache; lines that cannot be read are dropped.
    void Load(CFileSystem& fs);
    bool Find(const std::string& url, HttpAnswer& answer) const;
    // Keeps the answer when it is one worth keeping.
    void Put(const std::string& url, const HttpAnswer& answer);
    // Writes what is still valid through a new file renamed over the old one; "" or what
    // went wrong.
    std::string Save(CFileSystem& fs) const;

private:
    struct Entry {
        std::time_t when;
        HttpAnswer answer;
    };
    bool Valid(const Entry& e) const;

    std::string m_path;
    std::time_t m_validSeconds;
    std::time_t m_now;
    std::unordered_map<std::string, Entry> m_entries;
};

}  // namespace ts
