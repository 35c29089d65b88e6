#include "download/Md5.h"

#include <cstring>

namespace orvanta {
namespace {

inline uint32_t RotateLeft(uint32_t x, int c)
{
    return (x << c) | (x >> (32 - c));
}

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// One step: a = b + ((a + f(b, c, d) + x + t) <<< s). Written out per step so the compiler
// keeps the 64 steps unrolled with constant shifts; this loop is the whole cost of hashing.
#define MD5_STEP(f, a, b, c, d, x, t, s)         \
    a += (x) + static_cast<uint32_t>(t);          \
    a += f(b, c, d);                              \
    a = RotateLeft(a, s) + b

// G as two masked terms that never overlap, so their sum equals their or: the term without b
// can be added before b is known, which shortens the round's dependency chain.
#define MD5_STEP_G(a, b, c, d, x, t, s)          \
    a += (x) + static_cast<uint32_t>(t);          \
    a += c & ~d;                                  \
    a += b & d;                                   \
    a = RotateLeft(a, s) + b

} // namespace

Md5::Md5() : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u} {}

void Md5::Transform(const uint8_t* blocks, size_t count)
{
    uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
    for (; count > 0; --count, blocks += 64) {
        // Windows runs little-endian only, so the words load as they lie in memory.
        uint32_t x[16];
        std::memcpy(x, blocks, 64);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7);
        MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12);
        MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17);
        MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22);
        MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7);
        MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12);
        MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17);
        MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22);
        MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7);
        MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12);
        MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17);
        MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22);
        MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7);
        MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12);
        MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17);
        MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22);

        MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
        MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
        MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
        MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
        MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
        MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
        MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
        MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
        MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
        MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
        MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
        MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
        MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
        MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

        MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4);
        MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11);
        MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16);
        MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23);
        MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4);
        MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23);
        MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4);
        MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11);
        MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16);
        MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23);
        MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4);
        MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11);
        MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23);

        MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6);
        MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10);
        MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15);
        MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21);
        MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6);
        MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15);
        MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21);
        MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15);
        MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21);
        MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6);
        MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10);
        MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21);

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    state_[0] = a0;
    state_[1] = b0;
    state_[2] = c0;
    state_[3] = d0;
}

#undef MD5_STEP
#undef MD5_STEP_G

void Md5::Update(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    length_ += size;
    if (pendingSize_ > 0) {
        const size_t take = size < 64 - pendingSize_ ? size : 64 - pendingSize_;
        std::memcpy(pending_ + pendingSize_, bytes, take);
        pendingSize_ += take;
        bytes += take;
        size -= take;
        if (pendingSize_ < 64)
            return;
        Transform(pending_, 1);
        pendingSize_ = 0;
    }
    // Whole blocks straight from the caller's buffer: no copy on the hot path.
    const size_t blocks = size / 64;
    Transform(bytes, blocks);
    bytes += blocks * 64;
    size -= blocks * 64;
    std::memcpy(pending_, bytes, size);
    pendingSize_ = size;
}

Md5::Digest Md5::Finish()
{
    const uint64_t bitLength = length_ * 8;
    uint8_t padding[72] = {0x80};
    const size_t padSize = pendingSize_ < 56 ? 56 - pendingSize_ : 120 - pendingSize_;
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<uint8_t>(bitLength >> (8 * i));
    Update(padding, padSize);
    Update(lengthBytes, 8);

    Digest digest;
    for (int word = 0; word < 4; ++word) {
        for (int i = 0; i < 4; ++i)
            digest[static_cast<size_t>(word * 4 + i)] = static_cast<uint8_t>(state_[word] >> (8 * i));
    }
    return digest;
}

void Md5::ToHex(const Digest& digest, char (&hex)[33])
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 0x0F];
    }
    hex[32] = '\0';
}

} // namespace orvanta
