#include "download/Sha256.h"

#include "download/Sha256Blocks.h"

#include <cstring>

#if defined(ORVANTA_SHA256_EXTENSIONS)
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace orvanta {

const uint32_t kSha256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

namespace {

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

// CPUID leaf 1, ECX: SSSE3 (bit 9), SSE4.1 (bit 19); leaf 7, EBX: SHA (bit 29).
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

#endif

using BlockFunction = void (*)(uint32_t state[8], const uint8_t* blocks, size_t count);

// Chosen once: the processor does not change while the program runs.
BlockFunction FastestBlockFunction()
{
#if defined(ORVANTA_SHA256_EXTENSIONS)
    static const bool accelerated = ProcessorHasShaExtensions();
    if (accelerated)
        return &Sha256BlocksWithExtensions;
#endif
    return &Sha256BlocksPortable;
}

} // namespace

void Sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count)
{
    for (; count > 0; --count, blocks += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = LoadBigEndian(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
            const uint32_t choice = (e & f) ^ (~e & g);
            const uint32_t t1 = h + s1 + choice + kSha256RoundConstants[i] + w[i];
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
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

Sha256::Sha256(Engine engine)
    : transform_(engine == Engine::Portable ? &Sha256BlocksPortable : FastestBlockFunction()),
      state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

bool Sha256::Accelerated()
{
    return FastestBlockFunction() != &Sha256BlocksPortable;
}

void Sha256::Update(const void* data, size_t size)
{
    stream_.Feed(data, size, [this](const uint8_t* blocks, size_t count) { transform_(state_, blocks, count); });
}

Sha256::Digest Sha256::Finish()
{
    stream_.Finish(true, [this](const uint8_t* blocks, size_t count) { transform_(state_, blocks, count); });
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
    WriteHex(digest.data(), digest.size(), hex);
}

} // namespace orvanta
