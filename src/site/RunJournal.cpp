#include "site/RunJournal.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/Path.h"
#include "platform/Text.h"

namespace ts {
namespace {

// Version 1 journals (no checksums) are still read, so that a run made before can be undone.
constexpr std::string_view kHeader = "tessary-journal 2";
constexpr std::string_view kHeaderV1 = "tessary-journal 1";
constexpr const char* kKinds[] = {"rename", "content", "link",    "mode",   "written",
                                  "end",    "create",  "undoing", "undone", "undo-of"};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];
constexpr size_t kFieldsV1 = 14;
constexpr size_t kFields = 15;

std::string Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '%':
                out += "%25";
                break;
            case '\t':
                out += "%09";
                break;
            case '\r':
                out += "%0D";
                break;
            case '\n':
                out += "%0A";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string IdText(FileId id) {
    return std::to_string(id.dev) + ":" + std::to_string(id.ino);
}

// Digits only, no sign, no blanks, no overflow: a forged or damaged number is refused.
bool ParseNumber(std::string_view s, uint64_t& n) {
    if (s.empty() || s.size() > 20) return false;
    n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (n > (UINT64_MAX - digit) / 10) return false;
        n = n * 10 + digit;
    }
    return true;
}

bool ParseId(std::string_view s, FileId& id) {
    const size_t colon = s.find(':');
    return colon != std::string_view::npos && ParseNumber(s.substr(0, colon), id.dev) &&
           ParseNumber(s.substr(colon + 1), id.ino);
}

// One name of a directory: not empty, no "/", not "." or "..", no NUL.
bool IsOneName(std::string_view s) {
    return !s.empty() && s != "." && s != ".." && s.find('/') == std::string_view::npos &&
           s.find('\0') == std::string_view::npos;
}

// A path below the top: "" or names joined by "/".
bool IsPathBelow(std::string_view s) {
    for (size_t start = 0; !s.empty();) {
        const size_t slash = s.find('/', start);
        if (!IsOneName(s.substr(start, slash == std::string_view::npos ? slash : slash - start)))
            return false;
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return true;
}

// What a record names must lie inside the tree, so that a forged line cannot lead undo out.
bool NamesInsideTree(const JournalRecord& r) {
    switch (r.kind) {
        case JournalRecord::RENAME:
            return IsPathBelow(r.dir) && IsOneName(r.name) && IsOneName(r.after);
        case JournalRecord::CONTENT:
        case JournalRecord::LINK:
        case JournalRecord::MODE:
        case JournalRecord::CREATE:
            return IsPathBelow(r.dir) && IsOneName(r.name);
        default:
            return true;
    }
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string Line(const JournalRecord& r) {
    std::string body = kKinds[r.kind];
    for (const std::string& field :
         {Escape(r.dir), IdText(r.dirId), Escape(r.name), IdText(r.id), IdText(r.newId),
          Escape(r.after), Escape(r.before), std::to_string(r.oldMode), std::to_string(r.newMode),
          std::to_string(r.offset), std::to_string(r.length), std::to_string(r.newLength),
          std::to_string(r.newHash), std::to_string(r.oldTime)})
        body += "\t" + field;
    return Format("%08x\t%zu\t", Crc32c(body.data(), body.size()), body.size()) + body + "\n";
}

bool ParseNumbers(const std::vector<std::string_view>& f, JournalRecord& r) {
    uint64_t oldMode = 0, newMode = 0, oldTime = 0;
    const bool ok = ParseNumber(f[8], oldMode) && ParseNumber(f[9], newMode) &&
                    ParseNumber(f[10], r.offset) && ParseNumber(f[11], r.length) &&
                    ParseNumber(f[12], r.newLength) && ParseNumber(f[13], r.newHash) &&
                    (f.size() == kFieldsV1 || ParseNumber(f[14], oldTime));
    if (!ok || oldMode > 07777 || newMode > 07777 || oldTime > INT64_MAX) return false;
    r.oldMode = static_cast<unsigned>(oldMode);
    r.newMode = static_cast<unsigned>(newMode);
    r.oldTime = static_cast<int64_t>(oldTime);
    return true;
}

bool ParseFields(const std::vector<std::string_view>& f, JournalRecord& r) {
    size_t kind = 0;
    while (kind < kKindCount && f[0] != kKinds[kind])
        ++kind;
    if (kind == kKindCount) return false;
    r.kind = static_cast<JournalRecord::Kind>(kind);
    return Unescape(f[1], r.dir) && ParseId(f[2], r.dirId) && Unescape(f[3], r.name) &&
           ParseId(f[4], r.id) && ParseId(f[5], r.newId) && Unescape(f[6], r.after) &&
           Unescape(f[7], r.before) && ParseNumbers(f, r) && NamesInsideTree(r);
}

// A line of the current form carries its checksum and length; one of version 1 does not.
bool ParseLine(std::string_view line, bool v1, JournalRecord& r) {
    if (!v1) {
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        uint64_t length = 0;
        if (tab2 == std::string_view::npos || tab1 != 8 ||
            !ParseNumber(line.substr(tab1 + 1, tab2 - tab1 - 1), length))
            return false;
        const std::string_view body = line.substr(tab2 + 1);
        if (body.size() != length ||
            Format("%08x", Crc32c(body.data(), body.size())) != line.substr(0, 8))
            return false;
        line = body;
    }
    std::vector<std::string_view> f = SplitTabs(line);
    return f.size() == (v1 ? kFieldsV1 : kFields) && ParseFields(f, r);
}

// The folder and its files must be the user's alone: a journal that somebody else could
// write would let him choose what undo writes, and where. The folder guards its files: nobody
// else may write it, so nobody else can reach them by name.
bool OwnedByUser(CDir& dir, const char* name) {
    const bool folder = std::string_view(name) == ".";
    FileStat st;
    if (!dir.Stat(name, st)) return errno == ENOENT && !folder;
    if (st.isLink || st.uid != ::geteuid() || (folder && (st.mode & 022))) {
        errno = EPERM;
        return false;
    }
    return true;
}

}  // namespace

std::string JournalsDirectory() {
    return UserDirectory("XDG_STATE_HOME", ".local/state") + "/tessary/runs";
}

std::string TreeJournals(const std::string& runsDir, FileId topId) {
    return JoinPath(runsDir, std::to_string(topId.dev) + "-" + std::to_string(topId.ino));
}

CRunJournal::CRunJournal(std::string folder, std::unique_ptr<CDir> dir,
                         std::unique_ptr<CFile> records, std::unique_ptr<CFile> originals)
    : m_folder(std::move(folder)),
      m_dir(std::move(dir)),
      m_records(std::move(records)),
      m_originals(std::move(originals)) {}

CRunJournal::~CRunJournal() = default;

std::unique_ptr<CRunJournal> CRunJournal::Create(CFileSystem& fs, const std::string& runsDir,
                                                 const std::string& top, FileId topId) {
    // One folder per tree (its identity), one per run inside it, named so that they sort by
    // the time the run began.
    const std::string treeDir = TreeJournals(runsDir, topId);
    if (!MakeDirectories(treeDir)) return nullptr;
    // To the nanosecond, so that two runs in one second still sort in the order they began.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char stamp[48];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now.tv_sec));
    std::string folder;
    for (int i = 0;; ++i) {
        folder =
            JoinPath(treeDir, std::string(stamp) + Format(".%09ld-", now.tv_nsec) +
                                  std::to_string(::getpid()) + (i ? "-" + std::to_string(i) : ""));
        if (MakeNewDirectory(folder)) break;
        if (errno != EEXIST || i == 100) return nullptr;
    }
    std::unique_ptr<CDir> dir = fs.OpenDir(folder);
    std::unique_ptr<CFile> records = dir ? dir->OpenNew("journal") : nullptr;
    std::unique_ptr<CFile> originals = records ? dir->OpenNew("originals") : nullptr;
    if (!originals) return nullptr;
    const std::string head =
        std::string(kHeader) + "\t" + Escape(top) + "\t" + IdText(topId) + "\n";
    if (!records->Write(head.data(), head.size()) || !records->Sync() || !dir->Sync())
        return nullptr;
    return std::unique_ptr<CRunJournal>(
        new CRunJournal(folder, std::move(dir), std::move(records), std::move(originals)));
}

bool CRunJournal::Record(const JournalRecord& r) {
    const std::string line = Line(r);
    return m_records->Write(line.data(), line.size());
}

bool CRunJournal::KeepOriginal(CFile& in, uint64_t& offset, uint64_t& length) {
    offset = m_nOriginals;
    length = 0;
    if (!in.Seek(0)) return false;
    char buf[65536];
    long long n;
    while ((n = in.Read(buf, sizeof buf)) > 0) {
        if (!m_originals->Write(buf, static_cast<size_t>(n))) break;
        length += static_cast<uint64_t>(n);
    }
    if (n != 0) {
        // The next original goes where this one began.
        m_originals->Resize(offset);
        m_originals->Seek(offset);
        return false;
    }
    m_nOriginals += length;
    return in.Seek(0);
}

bool CRunJournal::Commit() {
    return m_originals->Sync() && m_records->Sync();
}

bool CRunJournal::CopyOriginal(uint64_t offset, uint64_t length, CFile& out) {
    std::unique_ptr<CFile> in = m_dir->OpenRead("originals");
    return in && CopyKept(*in, offset, length, out);
}

namespace {

constexpr size_t kBlock = 1 << 20;

// Calls fn with each block of the length bytes kept at offset; false when they cannot all be
// read (the log is shorter than the record says) or fn refuses one.
template <class Fn>
bool ForEachKeptBlock(CFile& originals, uint64_t offset, uint64_t length, Fn fn) {
    if (!originals.Seek(offset)) return false;
    std::unique_ptr<char[]> buf(new char[kBlock]);
    for (uint64_t done = 0; done < length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, length - done));
        const long long n = originals.Read(buf.get(), want);
        if (n <= 0) return false;
        if (!fn(buf.get(), static_cast<size_t>(n))) return false;
        done += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace

bool CopyKept(CFile& originals, uint64_t offset, uint64_t length, CFile& out) {
    return ForEachKeptBlock(originals, offset, length,
                            [&](const char* p, size_t n) { return out.Write(p, n); });
}

bool HashOfKept(CFile& originals, uint64_t offset, uint64_t length, uint64_t& hash) {
    hash = kHashStart;
    return ForEachKeptBlock(originals, offset, length, [&](const char* p, size_t n) {
        hash = ContentHash(p, n, hash);
        return true;
    });
}

bool HoldsKept(CFile& f, CFile& originals, uint64_t offset, uint64_t length) {
    return f.Seek(0) && RestIsKept(f, originals, offset, length);
}

bool RestIsKept(CFile& f, CFile& originals, uint64_t offset, uint64_t length) {
    std::unique_ptr<char[]> mine(new char[kBlock]);
    const bool same = ForEachKeptBlock(originals, offset, length, [&](const char* p, size_t n) {
        for (size_t got = 0; got < n;) {
            const long long m = f.Read(mine.get() + got, n - got);
            if (m <= 0) return false;
            got += static_cast<size_t>(m);
        }
        return std::memcmp(mine.get(), p, n) == 0;
    });
    char extra;
    return same && f.Read(&extra, 1) == 0;
}

std::unique_ptr<CRunJournal> CRunJournal::Append(CFileSystem& fs, const std::string& folder) {
    std::unique_ptr<CDir> dir = fs.OpenDir(folder);
    if (!dir || !OwnedByUser(*dir, ".") || !OwnedByUser(*dir, "journal")) return nullptr;
    std::unique_ptr<CFile> records = dir->OpenAppend("journal");
    std::unique_ptr<CFile> originals = records ? dir->OpenAppend("originals") : nullptr;
    if (!originals) return nullptr;
    const long long size = originals->Length();
    if (size < 0) return nullptr;
    auto journal = std::unique_ptr<CRunJournal>(
        new CRunJournal(folder, std::move(dir), std::move(records), std::move(originals)));
    journal->m_nOriginals = static_cast<uint64_t>(size);
    return journal;
}

bool CRunJournal::Read(CFileSystem& fs, const std::string& folder, std::string& top, FileId& topId,
                       std::vector<JournalRecord>& records) {
    records.clear();
    std::unique_ptr<CDir> dir = fs.OpenDir(folder);
    if (!dir || !OwnedByUser(*dir, ".") || !OwnedByUser(*dir, "journal") ||
        !OwnedByUser(*dir, "originals"))
        return false;
    std::string text;
    if (!ReadWholeFile(fs, JoinPath(folder, "journal"), text)) return false;
    size_t end = text.find('\n');
    std::vector<std::string_view> head =
        SplitTabs(std::string_view(text).substr(0, end == std::string::npos ? 0 : end));
    const bool v1 = !head.empty() && head[0] == kHeaderV1;
    if (head.size() != 3 || (head[0] != kHeader && !v1) || !Unescape(head[1], top) ||
        !ParseId(head[2], topId)) {
        errno = EINVAL;
        return false;
    }
    uint64_t number = 0;
    for (size_t start = end + 1; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        JournalRecord r;
        if (!ParseLine(std::string_view(text).substr(start, end - start), v1, r)) {
            r = JournalRecord();
            r.kind = JournalRecord::DAMAGED;
        }
        r.number = ++number;
        records.push_back(std::move(r));
    }
    return true;
}

}  // namespace ts
