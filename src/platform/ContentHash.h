// Checksums over bytes: a 64-bit FNV-1a hash that tells content that changed since it was
// recorded, and the CRC-32C that guards each record of a journal against damage.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ts {

class CFile;

// A 64-bit FNV-1a hash, carried on from hash (start with kHashStart).
inline constexpr uint64_t kHashStart = 14695981039346656037ull;
uint64_t ContentHash(const void* data, size_t n, uint64_t hash = kHashStart);
// Length and ContentHash of what f holds from where it stands to its end; last, when given,
// receives the last byte ('\n' for an empty file).
bool HashOfFile(CFile& f, uint64_t& length, uint64_t& hash, char* last = nullptr);

// CRC-32C (Castagnoli), carried on from crc (start with 0).
uint32_t Crc32c(const void* data, size_t n, uint32_t crc = 0);

}  // namespace ts
