// MD5 and SHA-256 of one stream, fed in pieces of any size. On processors with the SHA
// extensions both digests are computed in one pass over the bytes, at about the cost of MD5
// alone; elsewhere each digest takes the bytes by itself.
#pragma once

#include "download/Md5.h"
#include "download/Sha256.h"

namespace orvanta {

class Md5AndSha256 {
public:
    void Update(const void* data, size_t size);
    // Both pad and return their digest; the object must not be fed again afterwards.
    Md5::Digest FinishMd5() { return md5_.Finish(); }
    Sha256::Digest FinishSha256() { return sha256_.Finish(); }

    // True when Update hashes both in one pass.
    static bool OnePass() { return Sha256::Accelerated(); }

private:
    Md5 md5_;
    Sha256 sha256_;
};

} // namespace orvanta
