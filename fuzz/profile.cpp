// The profile reader and writer. Any text read is written back byte for byte. Values set are
// read back, from memory and from the text written (a value is cut at its first line end),
// integers come back as set, setting one value leaves every other value as it was, and the
// text written reads back to itself.
//
// Input (FuzzedDataProvider): the profile text, then values to set, each in one of the
// program's own sections and names or in fuzzed ones.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "base/Profile.h"
#include "platform/Text.h"

using namespace ts;

namespace {

struct Key {
    const char* section;
    const char* name;
};

// The sections and names the program writes.
const Key kKeys[] = {
    {"Settings", "Target"},
    {"Settings", "LineEnd"},
    {"Settings", "Rename"},
    {"Settings", "AutoFileName"},
    {"Settings", "AutoReadOnly"},
    {"Settings", "ReportSpecial"},
    {"Settings", "UseSubdirs"},
    {"Settings", "LogSubdirs"},
    {"Settings", "Directory"},
    {"HTMLSettings", "RenameHtml"},
    {"HTMLSettings", "FilesOnly"},
    {"HTMLSettings", "HomePage"},
    {"HTMLSettings", "ReportExternalRefs"},
    {"HTMLSettings", "ReportUnresolvedRefs"},
    {"HTMLSettings", "ReportUnusedFiles"},
    {"EditorSettings", "ExternalEditor"},
    {"EditorSettings", "ReportName"},
    {"EditorSettings", "UseAlways"},
    {"Recent File List", "File1"},
    {"Recent File List", "File4"},
    {"Font", "Height"},
    {"Font", "FaceName"},
};

// A section or value name as a program would choose one: letters, digits and inner blanks.
std::string PlainName(const std::string& raw) {
    std::string out;
    for (char c : raw)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            (c == ' ' && !out.empty()))
            out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out.empty() ? "X" : out;
}

using Pair = std::pair<std::string, std::string>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider fdp(bytes, size);
    const std::string text = fdp.ConsumeRandomLengthString(4096);

    CProfile profile;
    profile.Parse(text);
    FUZZ_CHECK(profile.Text() == text);

    std::vector<Pair> keys;
    for (const Key& k : kKeys)
        keys.emplace_back(k.section, k.name);
    // Set values, as the program sets them.
    std::map<Pair, std::string> set;  // keys folded to upper case
    for (int op = 0; op < 16 && fdp.remaining_bytes() > 0; ++op) {
        Pair key;
        if (fdp.ConsumeBool()) {
            key = keys[fdp.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
        } else {
            key.first = PlainName(fdp.ConsumeRandomLengthString(16));
            key.second = PlainName(fdp.ConsumeRandomLengthString(16));
            keys.push_back(key);
        }
        // Every value already readable, to check that setting one changes no other.
        std::vector<std::string> others;
        for (const Pair& k : keys)
            others.push_back(profile.GetString(k.first, k.second, "\x01missing"));

        std::string expected;
        if (fdp.ConsumeBool()) {
            int value = fdp.ConsumeIntegral<int>();
            profile.SetInt(key.first, key.second, value);
            FUZZ_CHECK(profile.GetInt(key.first, key.second, value ^ 1) == value);
            expected = std::to_string(value);
        } else {
            std::string value = fdp.ConsumeRandomLengthString(64);
            profile.SetString(key.first, key.second, value);
            expected = value.substr(0, value.find_first_of("\r\n"));
        }
        FUZZ_CHECK(profile.GetString(key.first, key.second) == expected);
        set[{ToUpper(key.first), ToUpper(key.second)}] = expected;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (EqualsNoCase(keys[i].first, key.first) && EqualsNoCase(keys[i].second, key.second))
                continue;
            FUZZ_CHECK(profile.GetString(keys[i].first, keys[i].second, "\x01missing") ==
                       others[i]);
        }
    }

    // What was written reads back to the same values and the same text.
    const std::string written = profile.Text();
    CProfile again;
    again.Parse(written);
    FUZZ_CHECK(again.Text() == written);
    for (const auto& [key, value] : set) {
        if (again.GetString(key.first, key.second) != value)
            std::fprintf(stderr, "[%s] %s: set \"%s\", read back \"%s\"\n", key.first.c_str(),
                         key.second.c_str(), value.c_str(),
                         again.GetString(key.first, key.second).c_str());
        FUZZ_CHECK(again.GetString(key.first, key.second) == value);
    }
    return 0;
}
