// SHA-256 message digest (FIPS 180-4), fed in pieces of any size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvanta {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    void Update(const void* data, size_t size);
    // Pads and returns the digest; the object must not be fed again afterwards.
    Digest Finish();

    // Writes 64 lowercase hex digits and a terminating 0.
    static void ToHex(const Digest& digest, char (&hex)[65]);

private:
    void Transform(const uint8_t* blocks, size_t count);

    uint32_t state_[8];
    uint64_t length_ = 0;  // bytes fed so far
    uint8_t pending_[64];
    size_t pendingSize_ = 0;
};

} // namespace orvanta
