// MD5 message digest (RFC 1321), fed in pieces of any size.
#pragma once

#include "download/BlockStream.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvanta {

class Md5 {
public:
    using Digest = std::array<uint8_t, 16>;

    Md5();
    void Update(const void* data, size_t size);
    // Pads and returns the digest; the object must not be fed again afterwards.
    Digest Finish();

    // Writes 32 lowercase hex digits and a terminating 0.
    static void ToHex(const Digest& digest, char (&hex)[33]);

private:
    friend class Md5AndSha256;  // feeds whole blocks to both at once

    void Transform(const uint8_t* blocks, size_t count);

    uint32_t state_[4];
    BlockStream stream_;
};

} // namespace orvanta
