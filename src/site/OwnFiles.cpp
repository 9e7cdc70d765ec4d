#include "site/OwnFiles.h"

#include <unistd.h>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "site/DirNode.h"
#include "site/TreeWriter.h"

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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool HasLeftoverShape(std::string_view name, const FileStat& st) {
    const bool link = name.starts_with(".ts_link_");
    const bool shape = link ? st.isLink : st.kind == EntryKind::File && !st.isLink && st.links == 1;
    return shape && st.uid == ::geteuid();
}

int LeftoverPid(std::string_view name) {
    for (std::string_view head : {std::string_view(".ts_link_"), std::string_view(".ts_")}) {
        if (!name.starts_with(head)) continue;
        std::string_view rest = name.substr(head.size());
        size_t digits = 0;
        while (digits < rest.size() && digits < 9 && IsDigit(rest[digits]))
            ++digits;
        if (digits == 0 || rest[0] == '0' || rest.size() != digits + 7 || rest[digits] != '_')
            return 0;
        for (char c : rest.substr(digits + 1))
            if (!IsLetterOrDigit(c)) return 0;
        int pid = 0;
        for (char c : rest.substr(0, digits))
            pid = pid * 10 + (c - '0');
        return pid;
    }
    return 0;
}

void RemoveLeftovers(CTreeWriter& writer, CDirNode& top) {
    CTreeIterator it(&top);
    while (CFileNode* node = it.Next()) {
        if (!node->IsDirNode()) continue;
        auto& dir = static_cast<CDirNode&>(*node);
        std::vector<std::string>& names = dir.m_vOtherNames;
        for (auto name = names.begin(); name != names.end();) {
            if (LeftoverPid(*name) == 0 || !writer.RemoveLeftover(dir, *name)) {
                ++name;
                continue;
            }
            writer.Ctx().ErrorLine(JoinPath(dir.m_strPath, *name),
                                   LoadString(IDS_LEFTOVER_REMOVED));
            name = names.erase(name);
            // The name is free again for a new name of the directory's entries.
            dir.m_pNameIndex.reset();
        }
    }
}

bool IsOwnFileName(std::string_view name, bool bTop) {
    if (name == kRenameLogName || name.starts_with(".ts_")) return true;
    if (!bTop) return false;
    return name == kExternalPageName || name == "REPORT.TSY" || name == "STATUS.TSY" ||
           name == "ERROR.TSY" || IsNumberedReport(name);
}

}  // namespace ts
