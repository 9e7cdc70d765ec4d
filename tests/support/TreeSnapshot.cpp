#include "support/TreeSnapshot.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "support/TempDir.h"

namespace ts::test {

std::string TreeSnapshot(const std::string& dir, bool times) {
    namespace stdfs = std::filesystem;
    std::vector<std::string> lines;
    for (const auto& e : stdfs::recursive_directory_iterator(dir)) {
        const std::string path = e.path().string();
        struct stat st {};
        ::lstat(path.c_str(), &st);
        std::string line = path.substr(dir.size()) + " " + std::to_string(st.st_mode & 07777);
        if (S_ISLNK(st.st_mode)) line += " -> " + stdfs::read_symlink(e.path()).string();
        if (S_ISREG(st.st_mode) && times) line += " @" + std::to_string(st.st_mtim.tv_sec);
        if (S_ISREG(st.st_mode)) line += " = " + ReadFile(path);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::string FirstDifference(const std::string& a, const std::string& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    const size_t start = a.rfind('\n', i) == std::string::npos ? 0 : a.rfind('\n', i) + 1;
    return a.substr(start, std::min<size_t>(a.find('\n', i) - start, 300)) + "\n   vs\n" +
           b.substr(start, std::min<size_t>(b.find('\n', i) - start, 300));
}

}  // namespace ts::test
