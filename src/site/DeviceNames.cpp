#include "site/DeviceNames.h"

#include <algorithm>

#include "platform/Text.h"

namespace ts {
namespace {

constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
// "COM" and "LPT" name devices with one digit after them; Windows counts the superscript
// digits too.
constexpr std::string_view kNumbered[] = {"COM", "LPT"};
constexpr std::string_view kSuperscripts[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

bool IsDeviceNumber(std::string_view digit) {
    if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
    for (std::string_view s : kSuperscripts)
        if (digit == s) return true;
    return false;
}

std::string_view BaseOf(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    return base;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
    const std::string_view base = BaseOf(name);
    for (std::string_view d : kDevices)
        if (EqualsNoCase(base, d)) return true;
    for (std::string_view d : kNumbered)
        if (base.size() > d.size() && EqualsNoCase(base.substr(0, d.size()), d) &&
            IsDeviceNumber(base.substr(d.size())))
            return true;
    return false;
}

void AvoidDeviceName(std::string& name, int maxLen) {
    if (!IsDeviceName(name)) return;
    size_t end = std::min(name.find('.'), name.size());
    name.insert(end, "_");
    if (static_cast<int>(name.size()) > maxLen && end > 0) {
        const size_t keep = Utf8CutLength(name, end - 1);
        name.erase(keep, end - keep);
    }
}

void TrimWindowsEnd(std::string& name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
}

}  // namespace ts
