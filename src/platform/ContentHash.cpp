#include "platform/ContentHash.h"

#include <array>

#include "platform/FileSystem.h"

namespace ts {
namespace {

// The reflected polynomial 0x82F63B78, one byte at a time: records are short.
constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

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

uint32_t Crc32c(const void* data, size_t n, uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace ts
