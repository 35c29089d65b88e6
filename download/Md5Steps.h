// The 64 steps of an MD5 block (RFC 1321) in sixteen groups of four, each a template the
// compiler inlines with constant shifts and indexes. Md5 runs the groups in a row; the SHA-256
// code for processors with the SHA extensions runs a SHA-256 group after each, so that both
// digests go through the data in one pass. Everything here has internal linkage: the file
// compiled with the SHA extensions enabled gets its own copies and never shares one with
// plain code.
#pragma once

#include <cstdint>

namespace orvanta {
namespace md5_steps {

constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr int MessageIndex(int step)
{
    return step < 16 ? step : step < 32 ? (5 * step + 1) % 16 : step < 48 ? (3 * step + 5) % 16 : (7 * step) % 16;
}

static inline uint32_t RotateLeft(uint32_t x, int c)
{
    return (x << c) | (x >> (32 - c));
}

// a = b + ((a + f(b, c, d) + x + t) <<< s). The message word and constant are added first:
// they do not wait for b, c and d, which keeps the step's dependency chain short.
template <int Index>
static inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, const uint32_t* x)
{
    constexpr int round = Index / 16;
    a += x[MessageIndex(Index)] + kSines[Index];
    if constexpr (round == 0) {
        a += d ^ (b & (c ^ d));
    } else if constexpr (round == 1) {
        // G as two terms that never overlap, so their sum is their or; the one without b can
        // be added before b is known.
        a += c & ~d;
        a += b & d;
    } else if constexpr (round == 2) {
        a += b ^ c ^ d;
    } else {
        a += c ^ (b | ~d);
    }
    a = RotateLeft(a, kShifts[round][Index % 4]) + b;
}

// Steps 4 * Group to 4 * Group + 3 of a block whose 16 little-endian words are `x`.
template <int Group>
static inline void FourSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x)
{
    Step<4 * Group>(a, b, c, d, x);
    Step<4 * Group + 1>(d, a, b, c, x);
    Step<4 * Group + 2>(c, d, a, b, x);
    Step<4 * Group + 3>(b, c, d, a, x);
}

} // namespace md5_steps
} // namespace orvanta
