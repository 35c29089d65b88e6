#include "download/Sha256.h"

#include <cstring>

// x86 processors with the SHA extensions hash several times faster through them; the plain
// code below serves every other processor.
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define ORVANTA_SHA256_EXTENSIONS 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
// GCC and Clang compile the intrinsics only in functions marked for the instruction set.
#if defined(__GNUC__) || defined(__clang__)
#define ORVANTA_SHA_TARGET __attribute__((target("sha,sse4.1")))
#else
#define ORVANTA_SHA_TARGET
#endif
#endif

namespace orvanta {
namespace {

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t RotateRight(uint32_t value, int bits)
{
    return (value >> bits) | (value << (32 - bits));
}

inline uint32_t LoadBigEndian(const uint8_t* bytes)
{
    return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
           (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

#if defined(ORVANTA_SHA256_EXTENSIONS)

bool ProcessorHasShaExtensions()
{
    unsigned int leaf1[4] = {};
    unsigned int leaf7[4] = {};
#if defined(_MSC_VER)
    int registers[4];
    __cpuid(registers, 0);
    if (registers[0] < 7)
        return false;
    __cpuid(registers, 1);
    std::memcpy(leaf1, registers, sizeof(leaf1));
    __cpuidex(registers, 7, 0);
    std::memcpy(leaf7, registers, sizeof(leaf7));
#else
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &leaf1[0], &leaf1[1], &leaf1[2], &leaf1[3]))
        return false;
    __cpuid_count(7, 0, leaf7[0], leaf7[1], leaf7[2], leaf7[3]);
#endif
    const bool ssse3 = (leaf1[2] & (1u << 9)) != 0;
    const bool sse41 = (leaf1[2] & (1u << 19)) != 0;
    const bool sha = (leaf7[1] & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
}

bool UseShaExtensions()
{
    static const bool available = ProcessorHasShaExtensions();
    return available;
}

// The 64 rounds as 16 groups of four. The state is kept as ABEF and CDGH, the order the
// round instruction wants; message words are big-endian in the block.
ORVANTA_SHA_TARGET
void TransformWithShaExtensions(uint32_t state[8], const uint8_t* blocks, size_t count)
{
    static const uint8_t kByteSwap[16] = {3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12};
    const __m128i byteSwap = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kByteSwap));

    __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i message[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& current = message[group % 4];
            if (group < 4)
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), byteSwap);
            __m128i words = _mm_add_epi32(
                current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            if (group >= 3 && group <= 14) {
                // The schedule's next four words.
                __m128i& next = message[(group + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, message[(group + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            words = _mm_shuffle_epi32(words, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
            if (group >= 1 && group <= 12) {
                __m128i& previous = message[(group + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

#endif

} // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void Sha256::Transform(const uint8_t* blocks, size_t count)
{
#if defined(ORVANTA_SHA256_EXTENSIONS)
    if (UseShaExtensions()) {
        TransformWithShaExtensions(state_, blocks, count);
        return;
    }
#endif
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = LoadBigEndian(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
            const uint32_t choice = (e & f) ^ (~e & g);
            const uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
            const uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
            const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            const uint32_t t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
        state_[4] += e;
        state_[5] += f;
        state_[6] += g;
        state_[7] += h;
    }
}

void Sha256::Update(const void* data, size_t size)
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
    const size_t whole = size / 64;
    if (whole > 0)
        Transform(bytes, whole);
    bytes += whole * 64;
    size -= whole * 64;
    if (size > 0) {
        std::memcpy(pending_, bytes, size);
        pendingSize_ = size;
    }
}

Sha256::Digest Sha256::Finish()
{
    const uint64_t bitLength = length_ * 8;
    const uint8_t padding = 0x80;
    Update(&padding, 1);
    const uint8_t zero = 0;
    while (pendingSize_ != 56)
        Update(&zero, 1);
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<uint8_t>(bitLength >> (56 - 8 * i));
    Update(lengthBytes, 8);

    Digest digest;
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = static_cast<uint8_t>(state_[i] >> 24);
        digest[4 * i + 1] = static_cast<uint8_t>(state_[i] >> 16);
        digest[4 * i + 2] = static_cast<uint8_t>(state_[i] >> 8);
        digest[4 * i + 3] = static_cast<uint8_t>(state_[i]);
    }
    return digest;
}

void Sha256::ToHex(const Digest& digest, char (&hex)[65])
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    hex[64] = '\0';
}

} // namespace orvanta
