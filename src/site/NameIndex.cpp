#include "site/NameIndex.h"

#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

bool SplitNumberedName(std::string_view name, std::string_view& stem, char& sep, uint64_t& n,
                       std::string_view& ext) {
    size_t end = name.rfind('.');
    if (end == std::string_view::npos) end = name.size();
    size_t i = end;
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9')
        --i;
    size_t digits = end - i;
    if (digits == 0 || digits > 18 || name[i] == '0' || i == 0) return false;
    if (name[i - 1] != '~' && name[i - 1] != '_') return false;
    n = 0;
    for (size_t k = i; k < end; ++k)
        n = n * 10 + static_cast<uint64_t>(name[k] - '0');
    sep = name[i - 1];
    stem = name.substr(0, i - 1);
    ext = name.substr(end);
    return true;
}

CNameIndex::CNameIndex(const CDirNode& dir) {
    for (const auto& child : dir.Children())
        Update(*child);
    for (const std::string& name : dir.m_vOtherNames)
        Add(FoldCase(name));
}

std::string CNameIndex::EffectiveName(const CFileNode& node) {
    return node.m_strNewName.empty() ? node.Name() : node.m_strNewName;
}

void CNameIndex::Update(const CFileNode& node) {
    std::string folded = FoldCase(EffectiveName(node));
    auto it = m_indexed.find(&node);
    if (it != m_indexed.end()) {
        if (it->second == folded) return;
        Drop(it->second);
        it->second = folded;
    } else {
        m_indexed.emplace(&node, folded);
    }
    Add(folded);
}

void CNameIndex::Exclude(const CFileNode* node) {
    if (!node) return;
    auto it = m_indexed.find(node);
    if (it != m_indexed.end()) Drop(it->second);
}

void CNameIndex::Restore(const CFileNode* node) {
    if (!node) return;
    auto it = m_indexed.find(node);
    if (it != m_indexed.end()) Add(it->second);
}

bool CNameIndex::Taken(std::string_view name) const {
    auto it = m_count.find(FoldCase(name));
    return it != m_count.end() && it->second > 0;
}

std::string CNameIndex::FamilyKey(std::string_view stem, char sep, std::string_view ext) {
    // Names never hold NUL, so it separates the parts unambiguously.
    std::string key = FoldCase(stem);
    key += '\0';
    key += sep;
    key += '\0';
    key += FoldCase(ext);
    return key;
}

CNameIndex::Runs* CNameIndex::RunsOf(const std::string& folded, uint64_t& n, bool create) {
    std::string_view stem, ext;
    char sep;
    if (!SplitNumberedName(folded, stem, sep, n, ext)) return nullptr;
    std::string key = FamilyKey(stem, sep, ext);
    if (create) return &m_families[key];
    auto it = m_families.find(key);
    return it == m_families.end() ? nullptr : &it->second;
}

void CNameIndex::Add(const std::string& folded) {
    if (++m_count[folded] != 1) return;
    uint64_t n;
    Runs* runs = RunsOf(folded, n, true);
    if (!runs) return;
    // Join the run ending at n - 1 and the run starting at n + 1.
    uint64_t first = n, last = n;
    auto next = runs->find(n + 1);
    if (next != runs->end()) {
        last = next->second;
        runs->erase(next);
    }
    auto after = runs->upper_bound(n);
    if (after != runs->begin()) {
        auto prev = std::prev(after);
        if (prev->second + 1 == n) {
            first = prev->first;
            runs->erase(prev);
        }
    }
    (*runs)[first] = last;
}

void CNameIndex::Drop(const std::string& folded) {
    auto it = m_count.find(folded);
    if (it == m_count.end() || it->second <= 0) return;
    if (--it->second != 0) return;
    m_count.erase(it);
    uint64_t n;
    Runs* runs = RunsOf(folded, n, false);
    if (!runs) return;
    auto after = runs->upper_bound(n);
    if (after == runs->begin()) return;
    auto run = std::prev(after);
    uint64_t first = run->first, last = run->second;
    if (last < n) return;
    runs->erase(run);
    if (first < n) (*runs)[first] = n - 1;
    if (n < last) (*runs)[n + 1] = last;
}

uint64_t CNameIndex::LastTakenInRun(std::string_view stem, char sep, std::string_view ext,
                                    uint64_t n) const {
    auto family = m_families.find(FamilyKey(stem, sep, ext));
    if (family == m_families.end()) return n;
    const Runs& runs = family->second;
    auto after = runs.upper_bound(n);
    if (after == runs.begin()) return n;
    auto run = std::prev(after);
    return run->second >= n ? run->second : n;
}

}  // namespace ts
