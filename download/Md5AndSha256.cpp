#include "download/Md5AndSha256.h"

#include "download/Sha256Blocks.h"

namespace orvanta {

void Md5AndSha256::Update(const void* data, size_t size)
{
#if defined(ORVANTA_SHA256_EXTENSIONS)
    if (OnePass()) {
        // Fed the same bytes, both always hold the same partial block: complete it through
        // each, pass the whole blocks through both at once and leave the rest to each again.
        const auto* bytes = static_cast<const uint8_t*>(data);
        const size_t toBlockEnd = (64 - md5_.stream_.pendingSize) % 64;
        const size_t head = size < toBlockEnd ? size : toBlockEnd;
        md5_.Update(bytes, head);
        sha256_.Update(bytes, head);
        const size_t blocks = (size - head) / 64;
        Md5AndSha256BlocksWithExtensions(md5_.state_, sha256_.state_, bytes + head, blocks);
        md5_.stream_.length += blocks * 64;
        sha256_.stream_.length += blocks * 64;
        const size_t done = head + blocks * 64;
        md5_.Update(bytes + done, size - done);
        sha256_.Update(bytes + done, size - done);
        return;
    }
#endif
    md5_.Update(data, size);
    sha256_.Update(data, size);
}

} // namespace orvanta
