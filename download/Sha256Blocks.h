// The block functions behind Sha256 and Md5AndSha256: each hashes `count` whole 64-byte blocks
// into the state given. Not for use elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta {

extern const uint32_t kSha256RoundConstants[64];

void Sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count);

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define ORVANTA_SHA256_EXTENSIONS 1
// Runs only on processors with the SHA extensions, SSSE3 and SSE4.1 (Sha256 checks CPUID);
// compiled by itself with those instruction sets enabled.
void Sha256BlocksWithExtensions(uint32_t state[8], const uint8_t* blocks, size_t count);
// The same blocks into an MD5 and a SHA-256 state in one pass, at about the cost of MD5 alone.
void Md5AndSha256BlocksWithExtensions(uint32_t md5State[4], uint32_t sha256State[8], const uint8_t* blocks,
                                      size_t count);
#endif

} // namespace orvanta
