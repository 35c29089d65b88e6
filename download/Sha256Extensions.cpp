// SHA-256 blocks on the x86 SHA extensions, alone or together with MD5. This file is compiled
// with SHA, SSSE3 and SSE4.1 enabled (see CMakeLists.txt), so it holds nothing but these block
// functions, which run only after a CPUID check: any other code here could use those
// instructions on a processor that lacks them.
#include "download/Sha256Blocks.h"

#if defined(ORVANTA_SHA256_EXTENSIONS)

#include "download/Md5Steps.h"

#include <immintrin.h>

#include <cstring>

namespace orvanta {
namespace {

// The state is held as ABEF and CDGH, the order the round instruction wants.
struct ShaState {
    __m128i abef;
    __m128i cdgh;
};

inline ShaState LoadState(const uint32_t state[8])
{
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    return {_mm_alignr_epi8(dcba, efgh, 8), _mm_blend_epi16(efgh, dcba, 0xF0)};
}

inline void StoreState(const ShaState& sha, uint32_t state[8])
{
    const __m128i feba = _mm_shuffle_epi32(sha.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(sha.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

// The block's 16 message words, four to a register; they are big-endian in the block.
inline void LoadWords(const uint8_t* block, __m128i (&words)[4])
{
    const __m128i byteSwap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    const __m128i* input = reinterpret_cast<const __m128i*>(block);
    words[0] = _mm_shuffle_epi8(_mm_loadu_si128(input), byteSwap);
    words[1] = _mm_shuffle_epi8(_mm_loadu_si128(input + 1), byteSwap);
    words[2] = _mm_shuffle_epi8(_mm_loadu_si128(input + 2), byteSwap);
    words[3] = _mm_shuffle_epi8(_mm_loadu_si128(input + 3), byteSwap);
}

// Rounds 4 * Group to 4 * Group + 3 (two per instruction). From group 4 on, the words replace
// the oldest four of the schedule: W[t] = W[t-16] + s0(W[t-15]) + W[t-7] + s1(W[t-2]).
template <int Group>
inline void FourRounds(ShaState& sha, __m128i (&words)[4])
{
    __m128i& current = words[Group % 4];
    if constexpr (Group >= 4) {
        __m128i next = _mm_sha256msg1_epu32(current, words[(Group + 1) % 4]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(words[(Group + 3) % 4], words[(Group + 2) % 4], 4));
        current = _mm_sha256msg2_epu32(next, words[(Group + 3) % 4]);
    }
    const __m128i constants = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kSha256RoundConstants[4 * Group]));
    const __m128i sums = _mm_add_epi32(current, constants);
    sha.cdgh = _mm_sha256rnds2_epu32(sha.cdgh, sha.abef, sums);
    sha.abef = _mm_sha256rnds2_epu32(sha.abef, sha.cdgh, _mm_shuffle_epi32(sums, 0x0E));
}

inline void AddState(ShaState& sha, const ShaState& before)
{
    sha.abef = _mm_add_epi32(sha.abef, before.abef);
    sha.cdgh = _mm_add_epi32(sha.cdgh, before.cdgh);
}

// Four MD5 steps, then four SHA-256 rounds: MD5 is one long chain of dependent scalar
// operations and SHA-256 one of vector instructions, so the processor executes the two side by
// side and the pair costs about as much as MD5 alone.
template <int Group>
inline void StepsAndRounds(uint32_t (&md5)[4], const uint32_t* md5Words, ShaState& sha, __m128i (&words)[4])
{
    md5_steps::FourSteps<Group>(md5[0], md5[1], md5[2], md5[3], md5Words);
    FourRounds<Group>(sha, words);
}

} // namespace

void Sha256BlocksWithExtensions(uint32_t state[8], const uint8_t* blocks, size_t count)
{
    ShaState sha = LoadState(state);
    for (; count > 0; --count, blocks += 64) {
        const ShaState before = sha;
        __m128i words[4];
        LoadWords(blocks, words);
        FourRounds<0>(sha, words);
        FourRounds<1>(sha, words);
        FourRounds<2>(sha, words);
        FourRounds<3>(sha, words);
        FourRounds<4>(sha, words);
        FourRounds<5>(sha, words);
        FourRounds<6>(sha, words);
        FourRounds<7>(sha, words);
        FourRounds<8>(sha, words);
        FourRounds<9>(sha, words);
        FourRounds<10>(sha, words);
        FourRounds<11>(sha, words);
        FourRounds<12>(sha, words);
        FourRounds<13>(sha, words);
        FourRounds<14>(sha, words);
        FourRounds<15>(sha, words);
        AddState(sha, before);
    }
    StoreState(sha, state);
}

void Md5AndSha256BlocksWithExtensions(uint32_t md5State[4], uint32_t sha256State[8], const uint8_t* blocks,
                                      size_t count)
{
    ShaState sha = LoadState(sha256State);
    uint32_t md5Before[4] = {md5State[0], md5State[1], md5State[2], md5State[3]};
    for (; count > 0; --count, blocks += 64) {
        const ShaState before = sha;
        __m128i words[4];
        LoadWords(blocks, words);
        uint32_t md5Words[16];  // little-endian, as Windows always is
        std::memcpy(md5Words, blocks, sizeof(md5Words));
        uint32_t md5[4] = {md5Before[0], md5Before[1], md5Before[2], md5Before[3]};
        StepsAndRounds<0>(md5, md5Words, sha, words);
        StepsAndRounds<1>(md5, md5Words, sha, words);
        StepsAndRounds<2>(md5, md5Words, sha, words);
        StepsAndRounds<3>(md5, md5Words, sha, words);
        StepsAndRounds<4>(md5, md5Words, sha, words);
        StepsAndRounds<5>(md5, md5Words, sha, words);
        StepsAndRounds<6>(md5, md5Words, sha, words);
        StepsAndRounds<7>(md5, md5Words, sha, words);
        StepsAndRounds<8>(md5, md5Words, sha, words);
        StepsAndRounds<9>(md5, md5Words, sha, words);
        StepsAndRounds<10>(md5, md5Words, sha, words);
        StepsAndRounds<11>(md5, md5Words, sha, words);
        StepsAndRounds<12>(md5, md5Words, sha, words);
        StepsAndRounds<13>(md5, md5Words, sha, words);
        StepsAndRounds<14>(md5, md5Words, sha, words);
        StepsAndRounds<15>(md5, md5Words, sha, words);
        md5Before[0] += md5[0];
        md5Before[1] += md5[1];
        md5Before[2] += md5[2];
        md5Before[3] += md5[3];
        AddState(sha, before);
    }
    md5State[0] = md5Before[0];
    md5State[1] = md5Before[1];
    md5State[2] = md5Before[2];
    md5State[3] = md5Before[3];
    StoreState(sha, sha256State);
}

} // namespace orvanta

#endif
