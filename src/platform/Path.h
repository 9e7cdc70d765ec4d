// Path names: the separator, joining, and taking them apart. Every path the program handles
// is a native path held as UTF-8 bytes.
#pragma once

#include <string>
#include <string_view>

namespace ts {

inline constexpr char kPathSep = '/';

// Joins a directory path and a name with the separator.
std::string JoinPath(const std::string& dir, const std::string& name);

// Directory part of a path (without the trailing separator) and the name after it.
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);
// The name after the last separator, as a view into path.
std::string_view BaseNameView(std::string_view path);

// The extension of a name (text after its last "."), empty when it has none.
std::string_view ExtensionOf(std::string_view name);

}  // namespace ts
