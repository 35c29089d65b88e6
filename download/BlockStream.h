// What MD5 and SHA-256 share: the stream cut into 64-byte blocks, its length so far and the
// final padding. The caller hashes whole blocks with its own function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvanta {

struct BlockStream {
    // Hands whole blocks to `hashBlocks(blocks, count)` and keeps the rest for the next call.
    template <typename HashBlocks>
    void Feed(const void* data, size_t size, HashBlocks hashBlocks)
    {
        const auto* bytes = static_cast<const uint8_t*>(data);
        length += size;
        if (pendingSize > 0) {
            const size_t take = size < 64 - pendingSize ? size : 64 - pendingSize;
            std::memcpy(pending + pendingSize, bytes, take);
            pendingSize += take;
            bytes += take;
            size -= take;
            if (pendingSize < 64)
                return;
            hashBlocks(pending, size_t{1});
            pendingSize = 0;
        }
        // Whole blocks straight from the caller's buffer: no copy on the hot path.
        const size_t whole = size / 64;
        if (whole > 0)
            hashBlocks(bytes, whole);
        pendingSize = size - whole * 64;
        if (pendingSize > 0)
            std::memcpy(pending, bytes + whole * 64, pendingSize);
    }

    // 0x80, zeros up to 56 bytes into a block, then the length in bits: little-endian for MD5,
    // big-endian for SHA-256.
    template <typename HashBlocks>
    void Finish(bool bigEndianLength, HashBlocks hashBlocks)
    {
        const uint64_t bits = length * 8;
        uint8_t tail[72] = {0x80};
        const size_t padSize = pendingSize < 56 ? 56 - pendingSize : 120 - pendingSize;
        for (size_t i = 0; i < 8; ++i)
            tail[padSize + i] = static_cast<uint8_t>(bits >> (bigEndianLength ? 56 - 8 * i : 8 * i));
        Feed(tail, padSize + 8, hashBlocks);
    }

    uint64_t length = 0;  // bytes fed so far
    uint8_t pending[64];
    size_t pendingSize = 0;
};

// Writes the bytes as lowercase hex digits and a terminating 0 (2 * size + 1 characters).
inline void WriteHex(const uint8_t* bytes, size_t size, char* hex)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    hex[2 * size] = '\0';
}

} // namespace orvanta
