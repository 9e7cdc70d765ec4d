// Suggested names and MakeUnique over a small directory of entries with fuzzed names.
// Every new name is valid for its target (suggesting again from it changes nothing), no longer
// than the room its directory leaves, unique in its directory ignoring case, never "." or "..",
// never empty and never holds a separator; a valid UTF-8 name stays valid UTF-8. MakeUnique
// finds what a plain sweep over the entries finds: the first free name in the numbering order.
//
// Input (FuzzedDataProvider): the target, the Web-extension convention, the length of the
// directory's own name, up to eight entries (directory or file, name), then one more name.
#include <fuzzer/FuzzedDataProvider.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/RunSettings.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/NameIndex.h"
#include "site/NameRules.h"
#include "support/MakeNode.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

test::CTempDir& Work() {
    static test::CTempDir dir;
    return dir;
}

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t n = Utf8SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool IsIsoChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
}

// The name's validity for the target, without the uniqueness.
void CheckValid(const std::string& name, int target, int maxLen) {
#define CHECK_NAME(cond) \
    FUZZ_CHECK_MSG(cond, "name \"%s\", target %d, at most %d bytes", name.c_str(), target, maxLen)
    const TargetRules& rules = RulesOf(target);
    CHECK_NAME(!name.empty() && !IsDotName(name));
    CHECK_NAME(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
    CHECK_NAME(static_cast<int>(name.size()) <= maxLen);
    if (target == TFS_ISO9660) {
        CHECK_NAME(std::all_of(name.begin(), name.end(), IsIsoChar));
    } else {
        CHECK_NAME(name.find_first_of(rules.strInvalid) == std::string::npos);
    }
    if (target == TFS_DOS_FAT || target == TFS_WIN95_VFAT || target == TFS_NTFS)
        CHECK_NAME(
            std::none_of(name.begin(), name.end(), [](char c) { return c > 0 && c < 0x20; }));
    if (rules.nCase == CASE_UPPER) CHECK_NAME(ToUpper(name) == name);
    if (rules.nCase == CASE_LOWER) CHECK_NAME(ToLower(name) == name);
    if (rules.b83) {
        size_t dot = name.find('.');
        CHECK_NAME(dot == name.rfind('.'));
        if (dot == std::string::npos) {
            CHECK_NAME(name.size() <= 8);
        } else {
            CHECK_NAME(dot >= 1 && dot <= 8 && name.size() - dot - 1 >= 1 &&
                       name.size() - dot - 1 <= 3);
        }
    }
#undef CHECK_NAME
}

// The numbering order, one step at a time, as a plain reference: NAME.EXT, NAME~1.EXT, ...;
// a number of up to 18 digits after the separator is continued (a longer one is part of the
// stem); the stem loses whole characters when the number no longer fits; an 8.3 name keeps
// its stem to 8 characters.
FUZZ_REFERENCE bool NextCandidate(std::string& cand, char sep, int& maxLen) {
    size_t end = cand.rfind('.');
    if (end == std::string::npos) end = cand.size();
    const std::string ext = cand.substr(end);
    size_t i = end;
    while (i > 0 && cand[i - 1] >= '0' && cand[i - 1] <= '9')
        --i;
    uint64_t number = 1;
    if (i < end && end - i <= 18 && i > 0 && cand[i - 1] == sep) {
        uint64_t value = 0;
        for (size_t k = i; k < end; ++k)
            value = value * 10 + static_cast<uint64_t>(cand[k] - '0');
        number = value + 1;
        end = i - 1;
    }
    if (maxLen <= 12 && static_cast<int>(ext.size()) + 8 < maxLen)
        maxLen = static_cast<int>(ext.size()) + 8;
    std::string stem = cand.substr(0, end);
    const std::string digits = std::to_string(number);
    while (static_cast<long long>(stem.size() + 1 + digits.size() + ext.size()) > maxLen) {
        if (stem.empty()) return false;
        stem.resize(Utf8CutLength(stem, stem.size() - 1));
    }
    cand = stem + sep + digits + ext;
    return true;
}

// 1 with the first free name, 0 when the name is free, -1 when none fits; -2 when the sweep
// gave up (the numbers ran out of digits or went round).
FUZZ_REFERENCE int SweepUnique(const std::set<std::string>& taken, std::string& name, char sep,
                               int maxLen) {
    if (!taken.count(FoldCase(name))) return 0;
    std::string cand = name;
    for (int step = 0; step < 100000; ++step) {
        if (!NextCandidate(cand, sep, maxLen)) return -1;
        if (!taken.count(FoldCase(cand))) {
            name = cand;
            return 1;
        }
    }
    return -2;
}

std::string Clean(std::string name) {
    std::erase(name, '/');
    std::erase(name, '\0');
    return name.substr(0, 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider fdp(bytes, size);
    const int target = fdp.ConsumeIntegralInRange(0, 9);  // 9: an unknown target
    const int renameHtml = fdp.ConsumeIntegralInRange(0, 2);
    const size_t dirNameLength = fdp.ConsumeIntegralInRange<size_t>(1, 240);
    const size_t count = fdp.ConsumeIntegralInRange<size_t>(0, 8);

    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string work = Work() / "w";
    fs::remove_all(work, ec);
    // The directory's own path leaves more or less room for the names in it.
    std::string root = work + "/" + std::string(dirNameLength, 'd');
    if (root.size() >= kMaxPath - 2) root.resize(kMaxPath - 2);
    FUZZ_CHECK(fs::create_directories(root, ec));

    std::set<std::string> created;
    for (size_t i = 0; i < count && fdp.remaining_bytes() > 0; ++i) {
        bool isDir = fdp.ConsumeBool();
        std::string name = Clean(fdp.ConsumeRandomLengthString(300));
        if (name.empty() || IsDotName(name) || created.count(name)) continue;
        std::string path = root + "/" + name;
        if (path.size() >= kMaxPath) continue;
        bool ok = isDir ? ::mkdir(path.c_str(), 0755) == 0 : fuzz::WriteBytes(path, "x\n");
        if (ok) created.insert(name);
    }
    std::string extra = Clean(fdp.ConsumeRandomLengthString(300));

    fuzz::CQuietContext quiet;
    CDirXpNode top = test::MakeRunDir(quiet.ctx, root);
    top.Scan(false, nullptr, false);
    bool autoName = true, cancel = false;
    for (const auto& child : top.Children())
        child->CheckName(target, &autoName, renameHtml, &cancel);
    FUZZ_CHECK(!cancel);
    const std::string errors = quiet.Errors();

    std::vector<std::string> effective;
    for (const auto& child : top.Children())
        effective.push_back(FoldCase(CNameIndex::EffectiveName(*child)));
    // Entries the scan skips (hidden and special ones) are in the directory all the same.
    std::set<std::string> skipped;
    for (const std::string& name : created)
        skipped.insert(FoldCase(name));
    for (const auto& child : top.Children())
        skipped.erase(FoldCase(child->Name()));
    const auto& children = top.Children();
    for (size_t i = 0; i < children.size(); ++i) {
        CFileNode& node = *children[i];
        const std::string& newName = node.m_strNewName;
        // An entry that cannot get a valid name in the room left keeps its own and is reported,
        // under its path as the report shows it (bytes that are not UTF-8 as "\xNN").
        bool reported = errors.find("\"" + ShownName(node.m_strPath) + "\"") != std::string::npos;
        if (reported) {
            FUZZ_CHECK(newName.empty());
            continue;
        }
        const int maxLen = MaxNewNameLength(node, target);
        const std::string name = newName.empty() ? node.Name() : newName;
        CheckValid(name, target, maxLen);
        if (IsValidUtf8(node.Name())) FUZZ_CHECK(IsValidUtf8(name));
        if (!newName.empty()) {
            FUZZ_CHECK(newName != node.Name());
            for (size_t k = 0; k < children.size(); ++k)
                if (k != i) FUZZ_CHECK(effective[k] != effective[i]);
            FUZZ_CHECK(!skipped.count(effective[i]));
        }
        // Suggesting again from the new name changes nothing.
        bool renamed = SuggestName(node, target);
        FUZZ_CHECK(renamed == !newName.empty());
        FUZZ_CHECK(node.m_strNewName == newName);
    }

    // One more name made unique among the entries as they are now.
    std::set<std::string> taken(effective.begin(), effective.end());
    taken.insert(skipped.begin(), skipped.end());
    const TargetRules& rules = RulesOf(target);
    const CFileNode& any = children.empty() ? top : *children[0];
    const int maxLen = std::max(1, MaxNewNameLength(any, target));
    if (!extra.empty() && static_cast<int>(extra.size()) <= maxLen) {
        std::string mine = extra, swept = extra;
        int r = top.MakeUnique(nullptr, mine, rules.chSep, maxLen);
        int want = SweepUnique(taken, swept, rules.chSep, maxLen);
        if (want != -2) {
            FUZZ_CHECK(r == want);
            FUZZ_CHECK(mine == swept);
        }
        if (r >= 0) {
            FUZZ_CHECK(!taken.count(FoldCase(mine)));
            FUZZ_CHECK(static_cast<int>(mine.size()) <= maxLen);
        }
    }
    return 0;
}
