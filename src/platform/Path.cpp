#include "platform/Path.h"

namespace ts {

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == kPathSep) return dir + name;
    return dir + kPathSep + name;
}

std::string DirName(const std::string& path) {
    size_t slash = path.rfind(kPathSep);
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    return std::string(BaseNameView(path));
}

std::string_view BaseNameView(std::string_view path) {
    size_t slash = path.rfind(kPathSep);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view ExtensionOf(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

}  // namespace ts
