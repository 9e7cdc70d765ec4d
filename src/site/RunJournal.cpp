#include "site/RunJournal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "platform/Path.h"
#include "platform/Text.h"

namespace ts {
namespace {

constexpr std::string_view kHeader = "tessary-journal 1";
constexpr const char* kKinds[] = {"rename", "content", "link", "mode", "written", "end", "create"};
constexpr size_t kFields = 14;

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

bool ParseId(const std::string& s, FileId& id) {
    char* end = nullptr;
    id.dev = std::strtoull(s.c_str(), &end, 10);
    if (*end != ':') return false;
    id.ino = std::strtoull(end + 1, &end, 10);
    return *end == '\0';
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
    std::string line = kKinds[r.kind];
    for (const std::string& field :
         {Escape(r.dir), IdText(r.dirId), Escape(r.name), IdText(r.id), IdText(r.newId),
          Escape(r.after), Escape(r.before), std::to_string(r.oldMode), std::to_string(r.newMode),
          std::to_string(r.offset), std::to_string(r.length), std::to_string(r.newLength),
          std::to_string(r.newHash)})
        line += "\t" + field;
    return line + "\n";
}

bool ParseLine(std::string_view line, JournalRecord& r) {
    std::vector<std::string_view> f = SplitTabs(line);
    if (f.size() != kFields) return false;
    int kind = -1;
    for (int k = 0; k <= JournalRecord::CREATE; ++k)
        if (f[0] == kKinds[k]) kind = k;
    if (kind < 0) return false;
    r.kind = static_cast<JournalRecord::Kind>(kind);
    const std::string dirId(f[2]), id(f[4]), newId(f[5]), oldMode(f[8]), newMode(f[9]),
        offset(f[10]), length(f[11]), newLength(f[12]), newHash(f[13]);
    r.newLength = std::strtoull(newLength.c_str(), nullptr, 10);
    r.newHash = std::strtoull(newHash.c_str(), nullptr, 10);
    r.oldMode = static_cast<unsigned>(std::strtoul(oldMode.c_str(), nullptr, 10));
    r.newMode = static_cast<unsigned>(std::strtoul(newMode.c_str(), nullptr, 10));
    r.offset = std::strtoull(offset.c_str(), nullptr, 10);
    r.length = std::strtoull(length.c_str(), nullptr, 10);
    return Unescape(f[1], r.dir) && ParseId(dirId, r.dirId) && Unescape(f[3], r.name) &&
           ParseId(id, r.id) && ParseId(newId, r.newId) && Unescape(f[6], r.after) &&
           Unescape(f[7], r.before);
}

}  // namespace

uint64_t ContentHash(const void* data, size_t n, uint64_t hash) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i)
        hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

bool HashOfFile(CFile& f, uint64_t& length, uint64_t& hash, char* last) {
    length = 0;
    hash = kHashStart;
    if (last) *last = '\n';
    char buf[65536];
    long long n;
    while ((n = f.Read(buf, sizeof buf)) > 0) {
        length += static_cast<uint64_t>(n);
        hash = ContentHash(buf, static_cast<size_t>(n), hash);
        if (last) *last = buf[n - 1];
    }
    return n == 0;
}

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

bool CRunJournal::ReadOriginal(uint64_t offset, uint64_t length, std::string& bytes) {
    std::unique_ptr<CFile> in = m_dir->OpenRead("originals");
    return in && ReadKept(*in, offset, length, bytes);
}

bool ReadKept(CFile& originals, uint64_t offset, uint64_t length, std::string& bytes) {
    if (!originals.Seek(offset)) return false;
    bytes.resize(length);
    for (uint64_t done = 0; done < length;) {
        const long long n = originals.Read(bytes.data() + done, length - done);
        if (n <= 0) return false;
        done += static_cast<uint64_t>(n);
    }
    return true;
}

bool CRunJournal::Read(CFileSystem& fs, const std::string& folder, std::string& top, FileId& topId,
                       std::vector<JournalRecord>& records) {
    records.clear();
    std::string text;
    if (!ReadWholeFile(fs, JoinPath(folder, "journal"), text)) return false;
    size_t end = text.find('\n');
    std::vector<std::string_view> head =
        SplitTabs(std::string_view(text).substr(0, end == std::string::npos ? 0 : end));
    if (head.size() != 3 || head[0] != kHeader || !Unescape(head[1], top) ||
        !ParseId(std::string(head[2]), topId)) {
        errno = EINVAL;
        return false;
    }
    for (size_t start = end + 1; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        JournalRecord r;
        if (!ParseLine(std::string_view(text).substr(start, end - start), r)) {
            errno = EINVAL;
            return false;
        }
        records.push_back(std::move(r));
    }
    return true;
}

}  // namespace ts
