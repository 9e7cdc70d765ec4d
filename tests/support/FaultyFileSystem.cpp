#include "support/FaultyFileSystem.h"

#include <new>

namespace ts::test {
namespace {

class CFaultyFile : public CFile {
public:
    CFaultyFile(std::unique_ptr<CFile> f, CFaultyFileSystem& fs, std::string path)
        : m_f(std::move(f)), m_fs(fs), m_path(std::move(path)) {}
    long long Read(void* buf, size_t n) override {
        return m_fs.Trip(Op::Read, m_path) ? -1 : m_f->Read(buf, n);
    }
    bool Write(const void* buf, size_t n) override {
        return !m_fs.Trip(Op::Write, m_path) && m_f->Write(buf, n);
    }
    bool Seek(uint64_t off) override { return !m_fs.Trip(Op::Seek, m_path) && m_f->Seek(off); }
    bool Resize(uint64_t length) override {
        return !m_fs.Trip(Op::Write, m_path) && m_f->Resize(length);
    }
    long long Length() override { return m_f->Length(); }
    bool Sync() override { return !m_fs.Trip(Op::Sync, m_path) && m_f->Sync(); }
    bool Close() override {
        bool ok = m_f->Close();
        return !m_fs.Trip(Op::Close, m_path) && ok;
    }

private:
    std::unique_ptr<CFile> m_f;
    CFaultyFileSystem& m_fs;
    std::string m_path;
};

}  // namespace

bool CFaultyFileSystem::Trip(Op op, const std::string& path) {
    ++m_calls[op];
    if (onCall) onCall(op, path);
    auto it = m_rules.find(op);
    if (it == m_rules.end()) return false;
    Rule& r = it->second;
    if (!r.pathPart.empty() && path.find(r.pathPart) == std::string::npos) return false;
    ++r.seen;
    bool fail = r.from ? r.seen >= r.nth : r.seen == r.nth;
    if (fail && r.throws) throw std::bad_alloc();
    if (fail) errno = r.err;
    return fail;
}

std::unique_ptr<CFile> CFaultyFileSystem::Wrap(std::unique_ptr<CFile> f, const std::string& path) {
    if (!f) return nullptr;
    return std::make_unique<CFaultyFile>(std::move(f), *this, path);
}

CResult CFaultyFileSystem::Stat(const std::string& path, FileStat& st) {
    if (throwBadAllocAtStat && ++m_statCalls == throwBadAllocAtStat) throw std::bad_alloc();
    if (Trip(Op::Stat, path)) return CResult::FromErrno();
    return m_real.Stat(path, st);
}
CResult CFaultyFileSystem::ListDir(const std::string& dir, std::vector<std::string>& names) {
    if (Trip(Op::ListDir, dir)) {
        names.clear();
        return CResult::FromErrno();
    }
    return m_real.ListDir(dir, names);
}
std::unique_ptr<CFile> CFaultyFileSystem::OpenRead(const std::string& path) {
    return Trip(Op::OpenRead, path) ? nullptr : Wrap(m_real.OpenRead(path), path);
}
std::unique_ptr<CFile> CFaultyFileSystem::OpenWrite(const std::string& path) {
    return Trip(Op::OpenWrite, path) ? nullptr : Wrap(m_real.OpenWrite(path), path);
}
std::unique_ptr<CFile> CFaultyFileSystem::OpenNew(const std::string& path) {
    return Trip(Op::OpenNew, path) ? nullptr : Wrap(m_real.OpenNew(path), path);
}
CResult CFaultyFileSystem::KeepMetadata(const std::string& from, const std::string& to) {
    if (Trip(Op::KeepMetadata, to)) return CResult::FromErrno();
    return m_real.KeepMetadata(from, to);
}
std::unique_ptr<CFile> CFaultyFileSystem::OpenAppend(const std::string& path) {
    return Trip(Op::OpenAppend, path) ? nullptr : Wrap(m_real.OpenAppend(path), path);
}
std::unique_ptr<CFile> CFaultyFileSystem::CreateTemp(const std::string& dir,
                                                     const std::string& prefix, std::string& path) {
    if (Trip(Op::CreateTemp, dir + "/" + prefix)) return nullptr;
    auto f = m_real.CreateTemp(dir, prefix, path);
    if (f) tempsCreated.push_back(path);
    return Wrap(std::move(f), path);
}
CResult CFaultyFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
    if (Trip(Op::Rename, from)) return CResult::FromErrno();
    return m_real.RenameNoReplace(from, to);
}
CResult CFaultyFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
    if (Trip(Op::Replace, to)) return CResult::FromErrno();
    return m_real.ReplaceFile(from, to);
}
CResult CFaultyFileSystem::Remove(const std::string& path) {
    if (Trip(Op::Remove, path)) return CResult::FromErrno();
    return m_real.Remove(path);
}
CResult CFaultyFileSystem::SetMode(const std::string& path, unsigned mode) {
    if (Trip(Op::SetMode, path)) return CResult::FromErrno();
    return m_real.SetMode(path, mode);
}
CResult CFaultyFileSystem::CanWriteIn(const std::string& dir) {
    if (Trip(Op::CanWrite, dir)) return CResult::FromErrno();
    return m_real.CanWriteIn(dir);
}

CResult CFaultyFileSystem::ReadLink(const std::string& path, std::string& text) {
    if (Trip(Op::ReadLink, path)) return CResult::FromErrno();
    return m_real.ReadLink(path, text);
}
CResult CFaultyFileSystem::ReplaceLink(const std::string& path, const std::string& text) {
    if (Trip(Op::ReplaceLink, path)) return CResult::FromErrno();
    return m_real.ReplaceLink(path, text);
}

}  // namespace ts::test
