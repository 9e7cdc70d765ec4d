#include "cli/OptionNames.h"

#include "base/RunSettings.h"
#include "site/FileNode.h"

namespace ts {

const OptionNames& TargetNames() {
    static const OptionNames names = {
        {"none", TFS_UNSPECIFIED}, {"iso9660", TFS_ISO9660}, {"dos", TFS_DOS_FAT},
        {"win95", TFS_WIN95_VFAT}, {"ntfs", TFS_NTFS},       {"unix", TFS_UNIX},
        {"mac", TFS_MACINTOSH},    {"upper", TFS_UPPER},     {"lower", TFS_LOWER}};
    return names;
}

const OptionNames& LineEndNames() {
    static const OptionNames names = {
        {"none", LE_NONE}, {"dos", LE_DOS}, {"unix", LE_UNIX}, {"mac", LE_MAC}};
    return names;
}

const OptionNames& WebExtNames() {
    static const OptionNames names = {
        {"keep", WEB_EXT_KEEP}, {"windows", WEB_EXT_WINDOWS}, {"unix", WEB_EXT_UNIX}};
    return names;
}

const OptionNames& RedirectNames() {
    static const OptionNames names = {
        {"none", 0}, {"apache", 1}, {"nginx", 2}, {"netlify", 3}, {"stubs", 4}};
    return names;
}

const OptionNames& ReadOnlyNames() {
    static const OptionNames names = {{"ask", 0}, {"skip", 1}, {"convert", 2}};
    return names;
}

std::vector<std::string> Keys(const OptionNames& names) {
    std::vector<std::string> keys;
    for (const auto& [k, v] : names)
        keys.push_back(k);
    return keys;
}

std::string NameOf(const OptionNames& names, int code) {
    for (const auto& [k, v] : names)
        if (v == code) return k;
    return std::to_string(code);
}

}  // namespace ts
