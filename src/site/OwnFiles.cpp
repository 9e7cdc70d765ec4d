#include "site/OwnFiles.h"

#include "base/ReportStream.h"

namespace ts {
namespace {

// "REPORT_<n>.TSY" as the final report numbers it: n from 1, without leading zeros.
bool IsNumberedReport(std::string_view name) {
    constexpr std::string_view head = "REPORT_", tail = ".TSY";
    if (name.size() <= head.size() + tail.size() || !name.starts_with(head) ||
        !name.ends_with(tail))
        return false;
    std::string_view digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits[0] == '0') return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

bool IsOwnFileName(std::string_view name, bool bTop) {
    if (name == kRenameLogName || name.starts_with(".ts_")) return true;
    if (!bTop) return false;
    return name == kExternalPageName || name == "REPORT.TSY" || name == "STATUS.TSY" ||
           name == "ERROR.TSY" || IsNumberedReport(name);
}

}  // namespace ts
