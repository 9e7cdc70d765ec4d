// The case-folded names of one directory's entries (each entry under its new name when it has
// one), so that making a name unique costs a few look-ups instead of a scan of the directory.
// Numbered names such as PAGE~12.HTM are also kept as runs of numbers per stem, so that
// numbering can step over a long run of taken numbers at once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ts {

class CDirNode;
class CFileNode;

class CNameIndex {
public:
    explicit CNameIndex(const CDirNode& dir);

    // Re-reads the name of one entry of the directory.
    void Update(const CFileNode& node);
    // Leaves an entry out until Restore: a name is never unique against itself.
    void Exclude(const CFileNode* node);
    void Restore(const CFileNode* node);

    // True when some entry has the name, ignoring case.
    bool Taken(std::string_view name) const;
    // For a taken name stem + sep + n + ext (n written without leading zeros): the largest m
    // such that every name stem + sep + k + ext with n <= k <= m is taken.
    uint64_t LastTakenInRun(std::string_view stem, char sep, std::string_view ext,
                            uint64_t n) const;

    // The name an entry counts with: its new name, else its current name.
    static std::string EffectiveName(const CFileNode& node);

private:
    // Disjoint runs of numbers, first -> last.
    using Runs = std::map<uint64_t, uint64_t>;

    void Add(const std::string& folded);
    void Drop(const std::string& folded);
    // The runs of a numbered name; null when the name is not numbered.
    Runs* RunsOf(const std::string& folded, uint64_t& n, bool create);
    static std::string FamilyKey(std::string_view stem, char sep, std::string_view ext);

    std::unordered_map<std::string, int> m_count;
    std::unordered_map<const CFileNode*, std::string> m_indexed;
    std::unordered_map<std::string, Runs> m_families;
};

// Splits a name into stem, separator, number and extension ("PAGE~12.HTM" -> "PAGE", '~', 12,
// ".HTM"). The number must follow the separator directly, have no leading zero and at most 18
// digits; the extension starts at the last dot.
bool SplitNumberedName(std::string_view name, std::string_view& stem, char& sep, uint64_t& n,
                       std::string_view& ext);

}  // namespace ts
