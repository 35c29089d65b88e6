// The Authenticode digest of a PE file: SHA-256 over the whole file except its header checksum,
// the data-directory entry that locates the certificate table, and that table (which must end
// the file). Computed from the bytes in file order, so it can run while a download arrives. Pure
// code, also built natively.
#pragma once

#include "download/Sha256.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta {

// Where a PE file's header checksum, the directory entry of its certificate table and that table
// lie, as its headers say.
struct PeSignatureLayout {
    uint64_t checksumOffset = 0;
    uint64_t directoryOffset = 0;
    uint64_t tableOffset = 0;
    uint32_t tableSize = 0;
};

enum class PeLayoutRead { Found, NeedMoreBytes, NotSigned };

// Reads the layout from the file's first `size` bytes. NotSigned: no PE file, or one whose
// headers name no certificate table, or a table that does not lie after them.
PeLayoutRead ReadPeSignatureLayout(const uint8_t* bytes, size_t size, PeSignatureLayout& layout);

// The little-endian numbers of the PE format.
uint16_t LittleEndian16(const uint8_t* bytes);
uint32_t LittleEndian32(const uint8_t* bytes);

struct PeImageDigest {
    // The headers named a certificate table and every byte before it was hashed.
    bool complete = false;
    uint64_t certificateOffset = 0;  // where the certificate table starts
    uint32_t certificateSize = 0;
    Sha256::Digest sha256{};
};

class PeImageHasher {
public:
    // Feeds the next bytes of the file. Bytes at and after the certificate table are counted but
    // not hashed.
    void Update(const void* data, size_t size);
    // The digest of what was fed; not complete for a file that is no PE file, names no
    // certificate table, or ended before the table.
    PeImageDigest Finish();

private:
    enum class State { Headers, Body, NotPortable };

    void HashFileBytes(const uint8_t* data, size_t size, uint64_t offset);

    State state_ = State::Headers;
    std::vector<uint8_t> headers_;  // the first bytes, until the headers have been read
    uint64_t fed_ = 0;
    PeSignatureLayout layout_;
    PeImageDigest result_;
    Sha256 sha256_;
};

} // namespace orvanta
