#include "site/RunJournal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "platform/Path.h"

namespace ts {
namespace {

constexpr std::string_view kHeader = "tessary-journal 1";
constexpr const char* kKinds[] = {"rename", "content", "link", "mode", "end"};

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
         {Escape(r.dir), IdText(r.dirId), Escape(r.name), IdText(r.id), Escape(r.after),
          Escape(r.before), std::to_string(r.oldMode), std::to_string(r.newMode)})
        line += "\t" + field;
    return line + "\n";
}

bool ParseLine(std::string_view line, JournalRecord& r) {
    std::vector<std::string_view> f = SplitTabs(line);
    if (f.size() != 9) return false;
    int kind = -1;
    for (int k = 0; k <= JournalRecord::END; ++k)
        if (f[0] == kKinds[k]) kind = k;
    if (kind < 0) return false;
    r.kind = static_cast<JournalRecord::Kind>(kind);
    const std::string dirId(f[2]), id(f[4]), oldMode(f[7]), newMode(f[8]);
    r.oldMode = static_cast<unsigned>(std::strtoul(oldMode.c_str(), nullptr, 10));
    r.newMode = static_cast<unsigned>(std::strtoul(newMode.c_str(), nullptr, 10));
    return Unescape(f[1], r.dir) && ParseId(dirId, r.dirId) && Unescape(f[3], r.name) &&
           ParseId(id, r.id) && Unescape(f[5], r.after) && Unescape(f[6], r.before);
}

// Copies the file name of dir, which must be the object id, into a new file at path.
bool CopyOut(CFileSystem& fs, CDir& dir, const std::string& name, FileId id,
             const std::string& path) {
    std::unique_ptr<CFile> in = dir.OpenRead(name);
    if (in && !(in->Id() == id)) {
        errno = ESTALE;
        return false;
    }
    std::unique_ptr<CFile> out = in ? fs.OpenNew(path) : nullptr;
    if (!out) return false;
    char buf[65536];
    long long n;
    while ((n = in->Read(buf, sizeof buf)) > 0)
        if (!out->Write(buf, static_cast<size_t>(n))) break;
    if (n == 0 && out->Sync() && out->Close()) return true;
    const int err = errno;
    out.reset();
    fs.Remove(path);
    errno = err;
    return false;
}

}  // namespace

std::string JournalsDirectory() {
    return UserDirectory("XDG_STATE_HOME", ".local/state") + "/tessary/runs";
}

CRunJournal::CRunJournal(CFileSystem& fs, std::string folder, std::unique_ptr<CDir> dir,
                         std::unique_ptr<CFile> file)
    : m_fs(fs), m_folder(std::move(folder)), m_dir(std::move(dir)), m_file(std::move(file)) {}

CRunJournal::~CRunJournal() = default;

std::unique_ptr<CRunJournal> CRunJournal::Create(CFileSystem& fs, const std::string& runsDir,
                                                 const std::string& top, FileId topId) {
    // One folder per tree (its identity), one per run inside it, named so that they sort by
    // the time the run began.
    const std::string treeDir =
        JoinPath(runsDir, std::to_string(topId.dev) + "-" + std::to_string(topId.ino));
    if (!MakeDirectories(treeDir)) return nullptr;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now));
    std::string folder;
    for (int i = 0;; ++i) {
        folder = JoinPath(treeDir, std::string(stamp) + "-" + std::to_string(::getpid()) +
                                       (i ? "-" + std::to_string(i) : ""));
        if (MakeNewDirectory(folder)) break;
        if (errno != EEXIST || i == 100) return nullptr;
    }
    std::unique_ptr<CDir> dir = fs.OpenDir(folder);
    std::unique_ptr<CFile> file = dir ? dir->OpenNew("journal") : nullptr;
    if (!file) return nullptr;
    std::unique_ptr<CRunJournal> journal(
        new CRunJournal(fs, folder, std::move(dir), std::move(file)));
    const std::string head =
        std::string(kHeader) + "\t" + Escape(top) + "\t" + IdText(topId) + "\n";
    if (!journal->m_file->Write(head.data(), head.size()) || !journal->m_file->Sync())
        return nullptr;
    return journal;
}

bool CRunJournal::Record(const JournalRecord& r) {
    const std::string line = Line(r);
    return m_file->Write(line.data(), line.size()) && m_file->Sync();
}

bool CRunJournal::KeepOriginal(CDir& dir, const std::string& name, FileId id, std::string& saved) {
    saved = "original-" + std::to_string(++m_nKept);
    const std::string path = JoinPath(m_folder, saved);
    // A second name keeps the bytes for free, as long as the content is replaced by a new
    // file and never written in place. Another file system, or a file whose owner does not
    // let others link to it, gets a copy.
    CResult kept = dir.LinkOut(name, path);
    if (!kept && (kept.Error() == EXDEV || kept.Error() == EPERM))
        kept = CopyOut(m_fs, dir, name, id, path) ? CResult::Ok() : CResult::FromErrno();
    if (!kept) return false;
    // The name may have changed hands since the caller looked at it.
    FileStat st;
    const bool linked = m_dir->Stat(saved, st) && st.links > 1;
    if (linked && !(st.id == id)) {
        m_dir->Remove(saved);
        errno = ESTALE;
        return false;
    }
    return m_dir->Sync();
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
