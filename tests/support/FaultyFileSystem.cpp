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
    bool Reserve(uint64_t length) override { return m_f->Reserve(length); }
    bool Sync() override { return !m_fs.Trip(Op::Sync, m_path) && m_f->Sync(); }
    bool Close() override {
        bool ok = m_f->Close();
        return !m_fs.Trip(Op::Close, m_path) && ok;
    }
    FileId Id() override { return m_f->Id(); }
    bool SetMode(unsigned mode) override {
        return !m_fs.Trip(Op::SetMode, m_path) && m_f->SetMode(mode);
    }
    bool GetMetadata(FileMetadata& md) override { return m_f->GetMetadata(md); }
    bool SetMetadata(const FileMetadata& md) override {
        return !m_fs.Trip(Op::KeepMetadata, m_path) && m_f->SetMetadata(md);
    }

private:
    std::unique_ptr<CFile> m_f;
    CFaultyFileSystem& m_fs;
    std::string m_path;
};

// Names its entries by path for the rules, as the path-based calls do.
class CFaultyDir : public CDir {
public:
    CFaultyDir(std::unique_ptr<CDir> d, CFaultyFileSystem& fs, std::string path)
        : m_d(std::move(d)), m_fs(fs), m_path(std::move(path)) {}
    FileId Id() const override { return m_d->Id(); }
    CResult Stat(const std::string& name, FileStat& st) override {
        if (m_fs.Trip(Op::Stat, P(name))) return CResult::FromErrno();
        return m_d->Stat(name, st);
    }
    std::unique_ptr<CDir> OpenDir(const std::string& name) override {
        return m_fs.Trip(Op::OpenDir, P(name)) ? nullptr : m_fs.Wrap(m_d->OpenDir(name), P(name));
    }
    std::unique_ptr<CFile> OpenRead(const std::string& name) override {
        return Open(Op::OpenRead, name, [&] { return m_d->OpenRead(name); });
    }
    std::unique_ptr<CFile> OpenNew(const std::string& name) override {
        return Open(Op::OpenNew, name, [&] { return m_d->OpenNew(name); });
    }
    std::unique_ptr<CFile> OpenAppend(const std::string& name) override {
        return Open(Op::OpenAppend, name, [&] { return m_d->OpenAppend(name); });
    }
    std::unique_ptr<CFile> OpenModify(const std::string& name) override {
        return Open(Op::OpenWrite, name, [&] { return m_d->OpenModify(name); });
    }
    std::unique_ptr<CFile> CreateTemp(const std::string& prefix, std::string& name) override {
        if (m_fs.Trip(Op::CreateTemp, P(prefix))) return nullptr;
        auto f = m_d->CreateTemp(prefix, name);
        if (f) m_fs.tempsCreated.push_back(P(name));
        return m_fs.Wrap(std::move(f), P(name));
    }
    CResult RenameNoReplace(const std::string& from, const std::string& to) override {
        return Call(Op::Rename, from, [&] { return m_d->RenameNoReplace(from, to); });
    }
    CResult Replace(const std::string& from, const std::string& to) override {
        return Call(Op::Replace, to, [&] { return m_d->Replace(from, to); });
    }
    CResult Remove(const std::string& name) override {
        return Call(Op::Remove, name, [&] { return m_d->Remove(name); });
    }
    CResult Sync() override {
        return m_fs.Trip(Op::Sync, m_path) ? CResult::FromErrno() : m_d->Sync();
    }
    CResult SetTime(const std::string& name, int64_t mtimeNs) override {
        return Call(Op::SetMode, name, [&] { return m_d->SetTime(name, mtimeNs); });
    }
    CResult SetMode(const std::string& name, unsigned mode) override {
        return Call(Op::SetMode, name, [&] { return m_d->SetMode(name, mode); });
    }
    CResult ReadLink(const std::string& name, std::string& text) override {
        return Call(Op::ReadLink, name, [&] { return m_d->ReadLink(name, text); });
    }
    CResult ReplaceLink(const std::string& name, const std::string& text) override {
        return Call(Op::ReplaceLink, name, [&] { return m_d->ReplaceLink(name, text); });
    }

private:
    std::string P(const std::string& name) const { return JoinPath(m_path, name); }
    template <class F>
    CResult Call(Op op, const std::string& name, F f) {
        return m_fs.Trip(op, P(name)) ? CResult::FromErrno() : f();
    }
    template <class F>
    std::unique_ptr<CFile> Open(Op op, const std::string& name, F f) {
        return m_fs.Trip(op, P(name)) ? nullptr : m_fs.Wrap(f(), P(name));
    }

    std::unique_ptr<CDir> m_d;
    CFaultyFileSystem& m_fs;
    std::string m_path;
};

}  // namespace

bool CFaultyFileSystem::Trip(Op op, const std::string& path) {
    if (!ignoredDir.empty() && path.starts_with(ignoredDir) &&
        (path.size() == ignoredDir.size() || path[ignoredDir.size()] == '/'))
        return false;
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

std::unique_ptr<CDir> CFaultyFileSystem::Wrap(std::unique_ptr<CDir> d, const std::string& path) {
    if (!d) return nullptr;
    return std::make_unique<CFaultyDir>(std::move(d), *this, path);
}

std::unique_ptr<CDir> CFaultyFileSystem::OpenDir(const std::string& path) {
    return Trip(Op::OpenDir, path) ? nullptr : Wrap(m_real.OpenDir(path), path);
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
CResult CFaultyFileSystem::Remove(const std::string& path) {
    if (Trip(Op::Remove, path)) return CResult::FromErrno();
    return m_real.Remove(path);
}
CResult CFaultyFileSystem::CanWriteIn(const std::string& dir) {
    if (Trip(Op::CanWrite, dir)) return CResult::FromErrno();
    return m_real.CanWriteIn(dir);
}

CResult CFaultyFileSystem::ReadLink(const std::string& path, std::string& text) {
    if (Trip(Op::ReadLink, path)) return CResult::FromErrno();
    return m_real.ReadLink(path, text);
}

}  // namespace ts::test
