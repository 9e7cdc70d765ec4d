// CRunJournal::Read on the "journal" file of a real journal folder (the user's, mode 0700).
// Undo trusts what Read gives, so: it never crashes or hangs; it refuses a file whose first line
// is no journal header; it gives one record per whole line after the header (a last line
// without its line end is left out), numbered 1, 2, 3...; a line it cannot take is a DAMAGED
// record with nothing in it; every other record that names an entry names it inside the tree
// (each name one path component: not empty, not "." or "..", no "/" and no NUL), its kind is the
// word its line begins with, and its modes and time are in range.
//
// Input: one byte of flags, then the text. Flag 1 gives each line after the first its true
// checksum and length, so that the fuzzer reaches the fields behind them; flag 2 puts a
// header before the text (a version 1 header with flag 4), for the lines to be read as records.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "platform/ContentHash.h"
#include "site/RunJournal.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

struct Place {
    test::CTempDir dir;
    std::string folder;
    Place() {
        folder = dir / "run";
        FUZZ_CHECK(::mkdir(folder.c_str(), 0700) == 0);
        // The folder must be the user's alone, or Read refuses everything and tests nothing.
        struct stat st {};
        FUZZ_CHECK(::stat(folder.c_str(), &st) == 0 && (st.st_mode & 077) == 0);
        FUZZ_CHECK(fuzz::WriteBytes(dir / "run/originals", ""));
    }
};

Place& ThePlace() {
    static Place place;
    return place;
}

const char* const kKindWords[] = {"rename", "content", "link",    "mode",   "written",
                                  "end",    "create",  "undoing", "undone", "undo-of"};

FUZZ_REFERENCE bool OneName(const std::string& s) {
    return !s.empty() && s != "." && s != ".." && s.find('/') == std::string::npos &&
           s.find('\0') == std::string::npos;
}

// "" or names joined by single slashes.
FUZZ_REFERENCE bool PathBelow(const std::string& s) {
    if (s.empty()) return true;
    size_t start = 0;
    for (;;) {
        const size_t slash = s.find('/', start);
        if (!OneName(s.substr(start, slash == std::string::npos ? slash : slash - start)))
            return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

// The text as the harness writes it: the flags applied to the input.
FUZZ_REFERENCE std::string JournalText(uint8_t flags, std::string_view in) {
    std::string text;
    if (flags & 2)
        text = (flags & 4) ? "tessary-journal 1\t/site\t1:2\n" : "tessary-journal 2\t/site\t1:2\n";
    if (!(flags & 1)) return text + std::string(in);
    // The first line of the input stays as it is when it is the header.
    size_t start = 0;
    if (!(flags & 2)) {
        const size_t nl = in.find('\n');
        if (nl == std::string_view::npos) return std::string(in);
        text.append(in.substr(0, nl + 1));
        start = nl + 1;
    }
    while (start < in.size()) {
        size_t nl = in.find('\n', start);
        const bool whole = nl != std::string_view::npos;
        if (!whole) nl = in.size();
        const std::string_view body = in.substr(start, nl - start);
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "%08x\t%zu\t",
                      static_cast<unsigned>(Crc32c(body.data(), body.size())), body.size());
        text += prefix;
        text.append(body);
        if (whole) text += '\n';
        start = nl + 1;
    }
    return text;
}

// The record lines of the text (after the header, each with its line end).
FUZZ_REFERENCE std::vector<std::string_view> RecordLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = text.find('\n') + 1;
    for (size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

// The body of a record line: a version 2 line's checksum and length taken off.
FUZZ_REFERENCE std::string_view Body(std::string_view line, bool v1) {
    if (v1) return line;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    return tab2 == std::string_view::npos ? std::string_view() : line.substr(tab2 + 1);
}

void CheckRecord(const JournalRecord& r, std::string_view line, bool v1) {
    if (r.kind == JournalRecord::DAMAGED) {
        FUZZ_CHECK(r.dir.empty() && r.name.empty() && r.after.empty() && r.before.empty());
        return;
    }
    FUZZ_CHECK(r.kind >= JournalRecord::RENAME && r.kind < JournalRecord::DAMAGED);
    const std::string word = std::string(kKindWords[r.kind]) + "\t";
    FUZZ_CHECK_MSG(Body(line, v1).substr(0, word.size()) == word, "record %llu: kind %d",
                   static_cast<unsigned long long>(r.number), static_cast<int>(r.kind));
    switch (r.kind) {
        case JournalRecord::RENAME:
            FUZZ_CHECK(OneName(r.after));
            [[fallthrough]];
        case JournalRecord::CONTENT:
        case JournalRecord::LINK:
        case JournalRecord::MODE:
        case JournalRecord::CREATE:
            FUZZ_CHECK_MSG(PathBelow(r.dir) && OneName(r.name), "record %llu leaves the tree",
                           static_cast<unsigned long long>(r.number));
            break;
        default:
            break;
    }
    FUZZ_CHECK(r.oldMode <= 07777 && r.newMode <= 07777 && r.oldTime >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const std::string text =
        JournalText(bytes[0], std::string_view(reinterpret_cast<const char*>(bytes) + 1, size - 1));
    Place& place = ThePlace();
    FUZZ_CHECK(fuzz::WriteBytes(place.folder + "/journal", text));

    std::string top;
    FileId topId;
    std::vector<JournalRecord> records;
    errno = 0;
    const bool read = CRunJournal::Read(RealFileSystem(), place.folder, top, topId, records);
    const bool v1 = text.rfind("tessary-journal 1\t", 0) == 0;
    if (!read) {
        FUZZ_CHECK(records.empty() && errno == EINVAL);
        return 0;
    }
    FUZZ_CHECK(v1 || text.rfind("tessary-journal 2\t", 0) == 0);
    const std::vector<std::string_view> lines = RecordLines(text);
    FUZZ_CHECK_MSG(records.size() == lines.size(), "%zu records from %zu lines", records.size(),
                   lines.size());
    for (size_t i = 0; i < records.size(); ++i) {
        FUZZ_CHECK(records[i].number == i + 1);
        CheckRecord(records[i], lines[i], v1);
    }
    return 0;
}
