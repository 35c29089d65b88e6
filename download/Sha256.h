// SHA-256 message digest (FIPS 180-4), fed in pieces of any size.
#pragma once

#include "download/BlockStream.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvanta {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;
    // Fastest: the processor's SHA extensions where it has them, else the plain code.
    enum class Engine { Fastest, Portable };

    explicit Sha256(Engine engine = Engine::Fastest);
    void Update(const void* data, size_t size);
    // Pads and returns the digest; the object must not be fed again afterwards.
    Digest Finish();

    // True when Engine::Fastest runs on the processor's SHA extensions.
    static bool Accelerated();
    // Writes 64 lowercase hex digits and a terminating 0.
    static void ToHex(const Digest& digest, char (&hex)[65]);

private:
    friend class Md5AndSha256;  // feeds whole blocks to both at once

    using BlockFunction = void (*)(uint32_t state[8], const uint8_t* blocks, size_t count);

    BlockFunction transform_;
    uint32_t state_[8];
    BlockStream stream_;
};

} // namespace orvanta
