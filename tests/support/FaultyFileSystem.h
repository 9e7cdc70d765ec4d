// A file system that passes every call to the real one but can make a chosen operation fail,
// the N-th time it is called on a path that contains a given text.
#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts::test {

enum class Op {
    Stat,
    ListDir,
    OpenRead,
    OpenWrite,
    OpenNew,
    OpenAppend,
    CreateTemp,
    Read,
    Write,
    Seek,
    Sync,
    Close,
    Rename,
    Replace,
    Remove,
    SetMode,
    KeepMetadata,
    CanWrite,
    ReadLink,
    ReplaceLink,
    OpenDir
};

class CFaultyFileSystem : public CFileSystem {
public:
    explicit CFaultyFileSystem(CFileSystem& real = RealFileSystem()) : m_real(real) {}

    // Makes the nth call (from 1) of op on a path containing pathPart fail with err.
    void FailOn(Op op, int nth = 1, std::string pathPart = std::string(), int err = EIO) {
        m_rules[op] = Rule{nth, std::move(pathPart), err, 0};
    }
    // Fails every such call from the nth on.
    void FailFrom(Op op, int nth = 1, std::string pathPart = std::string(), int err = EIO) {
        m_rules[op] = Rule{nth, std::move(pathPart), err, 0, true};
    }
    // Throws std::bad_alloc from the nth call of op instead (the low-memory path).
    void ThrowOn(Op op, int nth = 1) { m_rules[op] = Rule{nth, std::string(), 0, 0, false, true}; }
    void Clear() { m_rules.clear(); }
    int Calls(Op op) const {
        auto it = m_calls.find(op);
        return it == m_calls.end() ? 0 : it->second;
    }
    // Throws std::bad_alloc from the nth Stat (to test the low-memory path).
    int throwBadAllocAtStat = 0;
    // Told of every operation before it runs, with the path it names (a suite that fails each
    // call in turn records a clean run with it).
    std::function<void(Op op, const std::string& path)> onCall;
    // Every file CreateTemp made, in order.
    std::vector<std::string> tempsCreated;
    // Calls on this directory or below pass straight through: neither counted, told nor failed
    // (a suite that fails the site's operations in turn leaves the run's journal alone).
    std::string ignoredDir;

    // Counts the call and tells whether it is to fail; a failure sets errno to the rule's error.
    bool Trip(Op op, const std::string& path);

    CResult Stat(const std::string& path, FileStat& st) override;
    CResult ListDir(const std::string& dir, std::vector<std::string>& names) override;
    std::unique_ptr<CFile> OpenRead(const std::string& path) override;
    std::unique_ptr<CFile> OpenWrite(const std::string& path) override;
    std::unique_ptr<CFile> OpenNew(const std::string& path) override;
    std::unique_ptr<CFile> CreateTemp(const std::string& dir, const std::string& prefix,
                                      std::string& path) override;
    CResult RenameNoReplace(const std::string& from, const std::string& to) override;
    CResult Remove(const std::string& path) override;
    CResult CanWriteIn(const std::string& dir) override;
    CResult ReadLink(const std::string& path, std::string& text) override;
    std::unique_ptr<CDir> OpenDir(const std::string& path) override;

    // The double's own wrappers of files and directories, which report to Trip.
    std::unique_ptr<CFile> Wrap(std::unique_ptr<CFile> f, const std::string& path);
    std::unique_ptr<CDir> Wrap(std::unique_ptr<CDir> d, const std::string& path);

private:
    struct Rule {
        int nth;
        std::string pathPart;
        int err;
        int seen;
        bool from = false;
        bool throws = false;
    };
    CFileSystem& m_real;
    std::map<Op, Rule> m_rules;
    std::map<Op, int> m_calls;
    int m_statCalls = 0;
};

}  // namespace ts::test
