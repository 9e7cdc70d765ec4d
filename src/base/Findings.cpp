#include "base/Findings.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <tuple>

namespace ts {

const char* KindName(FindingKind kind) {
    switch (kind) {
        case FindingKind::SyntaxError:
            return "syntax-error";
        case FindingKind::BrokenLink:
            return "broken-link";
        case FindingKind::BrokenFragment:
            return "broken-fragment";
        case FindingKind::UnusedFile:
            return "unused-file";
        case FindingKind::ExternalUrl:
            return "external-url";
        case FindingKind::NewName:
            return "new-name";
        case FindingKind::FileProblem:
            return "file-problem";
        case FindingKind::ExternalFailed:
            return "external-url-failed";
        case FindingKind::ExternalMoved:
            return "external-url-moved";
        case FindingKind::ExternalUnchecked:
            return "external-url-unchecked";
    }
    return "file-problem";
}

void CFindings::Add(Finding finding) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_findings.push_back(std::move(finding));
}

void CFindings::AddProblem(const std::string& file, const std::string& message) {
    Finding f;
    f.kind = FindingKind::FileProblem;
    f.file = file;
    f.message = message;
    Add(std::move(f));
}

void CFindings::MoveTo(CFindings& other) {
    std::vector<Finding> moved;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        moved.swap(m_findings);
    }
    std::lock_guard<std::mutex> lock(other.m_mutex);
    if (other.m_findings.empty()) {
        other.m_findings.swap(moved);
        return;
    }
    other.m_findings.insert(other.m_findings.end(), std::make_move_iterator(moved.begin()),
                            std::make_move_iterator(moved.end()));
}

size_t CFindings::Bytes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t bytes = m_findings.capacity() * sizeof(Finding);
    for (const Finding& f : m_findings)
        bytes += f.file.capacity() + f.link.capacity() + f.target.capacity() +
                 f.newName.capacity() + f.message.capacity();
    return bytes;
}

void CFindings::Checked(const std::string& page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_checked.push_back(page);
}

std::vector<Finding> CFindings::TakeSorted() {
    std::vector<Finding> sorted;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sorted.swap(m_findings);
    }
    // The order is worked out on indexes, so each record moves once.
    std::vector<size_t> order(sorted.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&sorted](size_t i, size_t j) {
        const Finding& a = sorted[i];
        const Finding& b = sorted[j];
        return std::tie(a.kind, a.file, a.line, a.column) <
               std::tie(b.kind, b.file, b.line, b.column);
    });
    std::vector<Finding> out;
    out.reserve(sorted.size());
    for (size_t i : order)
        out.push_back(std::move(sorted[i]));
    return out;
}

std::vector<std::string> CFindings::CheckedPages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_checked;
}

}  // namespace ts
