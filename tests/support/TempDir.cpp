#include "support/TempDir.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace ts::test {

namespace fs = std::filesystem;

namespace {

// Runs keep their journals in the user's state directory, and answers to external URLs in the
// cache directory: each test process gets its own, removed at its end, so that no test reaches
// the real ones.
struct CStateHome {
    CTempDir dir;
    CStateHome() {
        ::setenv("XDG_STATE_HOME", dir.Path().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (dir.Path() + "/cache").c_str(), 1);
    }
};
const CStateHome kStateHome;

}  // namespace

CTempDir::CTempDir() {
    std::string base = fs::temp_directory_path().string() + "/tessary_test_XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) std::abort();
    m_path = buf.data();
}

CTempDir::~CTempDir() {
    std::error_code ec;
    // Tests make entries read-only; give permissions back so everything can be removed.
    for (auto it = fs::recursive_directory_iterator(
             m_path, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
    }
    ::chmod(m_path.c_str(), 0755);
    fs::remove_all(m_path, ec);
}

std::string CTempDir::Write(const std::string& rel, const std::string& content) const {
    std::string path = m_path + "/" + rel;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

std::string CTempDir::Mkdir(const std::string& rel) const {
    std::string path = m_path + "/" + rel;
    fs::create_directories(path);
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ListNames(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names)
        out += n + "\n";
    return out;
}

std::string TreeListing(const std::string& dir, bool withContent) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = it->path().string().substr(dir.size() + 1);
        std::string line = rel;
        if (it->is_directory(ec) && !it->is_symlink(ec))
            line += "/";
        else if (withContent && it->is_regular_file(ec))
            line += " = " + ReadFile(it->path().string());
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

std::string MaskDate(const std::string& report) {
    const std::string key = "Directory checked on ";
    std::string out = report;
    size_t p = out.find(key);
    if (p != std::string::npos && p + key.size() + 24 <= out.size())
        out.replace(p + key.size(), 24, "DDD MMM dd hh:mm:ss yyyy");
    return out;
}

std::string Lf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace ts::test
