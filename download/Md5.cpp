#include "download/Md5.h"

#include "download/Md5Steps.h"

#include <cstring>

namespace orvanta {

Md5::Md5() : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u} {}

void Md5::Transform(const uint8_t* blocks, size_t count)
{
    uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
    for (; count > 0; --count, blocks += 64) {
        // Windows runs little-endian only, so the words load as they lie in memory.
        uint32_t x[16];
        std::memcpy(x, blocks, 64);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        md5_steps::FourSteps<0>(a, b, c, d, x);
        md5_steps::FourSteps<1>(a, b, c, d, x);
        md5_steps::FourSteps<2>(a, b, c, d, x);
        md5_steps::FourSteps<3>(a, b, c, d, x);
        md5_steps::FourSteps<4>(a, b, c, d, x);
        md5_steps::FourSteps<5>(a, b, c, d, x);
        md5_steps::FourSteps<6>(a, b, c, d, x);
        md5_steps::FourSteps<7>(a, b, c, d, x);
        md5_steps::FourSteps<8>(a, b, c, d, x);
        md5_steps::FourSteps<9>(a, b, c, d, x);
        md5_steps::FourSteps<10>(a, b, c, d, x);
        md5_steps::FourSteps<11>(a, b, c, d, x);
        md5_steps::FourSteps<12>(a, b, c, d, x);
        md5_steps::FourSteps<13>(a, b, c, d, x);
        md5_steps::FourSteps<14>(a, b, c, d, x);
        md5_steps::FourSteps<15>(a, b, c, d, x);
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

void Md5::Update(const void* data, size_t size)
{
    stream_.Feed(data, size, [this](const uint8_t* blocks, size_t count) { Transform(blocks, count); });
}

Md5::Digest Md5::Finish()
{
    stream_.Finish(false, [this](const uint8_t* blocks, size_t count) { Transform(blocks, count); });
    Digest digest;
    for (int word = 0; word < 4; ++word) {
        for (int i = 0; i < 4; ++i)
            digest[static_cast<size_t>(word * 4 + i)] = static_cast<uint8_t>(state_[word] >> (8 * i));
    }
    return digest;
}

void Md5::ToHex(const Digest& digest, char (&hex)[33])
{
    WriteHex(digest.data(), digest.size(), hex);
}

} // namespace orvanta
