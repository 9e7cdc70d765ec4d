// What the fuzz harnesses share: a check that stops the fuzzer on a broken invariant, a file
// that keeps report text in memory, and a run context with a user interface that asks nobody.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/QuietUi.h"
#include "base/RunContext.h"
#include "platform/FileSystem.h"

// A broken invariant is a finding like a crash: libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// The same, telling more about the input first.
#define FUZZ_CHECK_MSG(cond, ...)              \
    do {                                       \
        if (!(cond)) {                         \
            std::fprintf(stderr, __VA_ARGS__); \
            std::fputc('\n', stderr);          \
            FUZZ_CHECK(cond);                  \
        }                                      \
    } while (0)

// The harnesses' own plain references: their branches tell nothing about the engine's, and
// without coverage instrumentation they run many times quicker over large inputs.
// (Other compilers build the harnesses only to replay their corpora, without coverage.)
#if defined(__clang__)
#define FUZZ_REFERENCE __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_REFERENCE
#endif

namespace ts::fuzz {

// A report file in memory, emptied by the harness before each input.
class CMemoryFile : public CFile {
public:
    long long Read(void*, size_t) override { return -1; }
    bool Write(const void* buf, size_t n) override {
        text.append(static_cast<const char*>(buf), n);
        return true;
    }
    bool Seek(uint64_t) override { return true; }
    bool Resize(uint64_t length) override {
        text.resize(length);
        return true;
    }
    long long Length() override { return static_cast<long long>(text.size()); }
    bool Sync() override { return true; }
    bool Close() override { return true; }

    std::string text;
};

// A run context on the real file system whose reports stay in memory.
class CQuietContext {
public:
    CQuietContext() : ctx(RealFileSystem(), ui) {
        ctx.statusReport.Attach(&status);
        ctx.errorReport.Attach(&errors);
        ctx.auxStream.Attach(&aux);
    }
    ~CQuietContext() {
        ctx.statusReport.Detach();
        ctx.errorReport.Detach();
        ctx.auxStream.Detach();
    }
    // Empties the reports.
    void Clear() {
        ctx.statusReport.Flush();
        ctx.errorReport.Flush();
        status.text.clear();
        errors.text.clear();
        aux.text.clear();
    }
    // A report's text with "\r\n" turned back into "\n".
    std::string Status() { return Lf(ctx.statusReport, status); }
    std::string Errors() { return Lf(ctx.errorReport, errors); }

    CQuietUi ui;
    CRunContext ctx;
    CMemoryFile status, errors, aux;

private:
    static std::string Lf(CReportStream& stream, CMemoryFile& f) {
        stream.Flush();
        std::string out;
        for (size_t i = 0; i < f.text.size(); ++i)
            if (!(f.text[i] == '\r' && i + 1 < f.text.size() && f.text[i + 1] == '\n'))
                out += f.text[i];
        return out;
    }
};

// Writes bytes to a file, replacing it; false when that failed.
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Line ends by the rules alone: blocks of 512 bytes, a NUL ends the text of its block, a CR LF
// pair counts once (at the CR), also when the pair straddles two blocks.
FUZZ_REFERENCE inline std::vector<uint64_t> ReferenceLineEnds(const std::string& data) {
    std::vector<uint64_t> ends;
    bool crEndedBlock = false;
    for (size_t b = 0; b < data.size(); b += 512) {
        size_t blockEnd = std::min(data.size(), b + 512);
        size_t z = data.find('\0', b);
        if (z == std::string::npos || z > blockEnd) z = blockEnd;
        size_t i = b;
        if (crEndedBlock && i < z && data[i] == '\n') ++i;
        crEndedBlock = false;
        for (; i < z; ++i) {
            if (data[i] == '\r') {
                ends.push_back(i);
                if (i + 1 < z && data[i + 1] == '\n')
                    ++i;
                else if (i + 1 == blockEnd)
                    crEndedBlock = true;
            } else if (data[i] == '\n') {
                ends.push_back(i);
            }
        }
    }
    return ends;
}

}  // namespace ts::fuzz
