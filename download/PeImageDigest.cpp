#include "download/PeImageDigest.h"

#include <algorithm>
#include <cstring>

namespace orvanta {
namespace {

// Headers further into the file than this are not looked for: the linker puts them in the
// first page, and a file that hides them elsewhere takes the slower, complete check.
constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr size_t kDosHeaderBytes = 64;
constexpr size_t kNewHeaderPointer = 0x3C;
constexpr size_t kFileHeaderBytes = 4 + 20;  // "PE\0\0" and the COFF file header
constexpr size_t kOptionalHeaderSizeAt = 4 + 16;
constexpr size_t kChecksumAt = 64;  // in the optional header, both formats
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;
constexpr size_t kDirectoryEntryBytes = 8;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void PeImageHasher::Update(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint64_t offset = fed_;
    fed_ += size;
    if (state_ == State::Body) {
        HashFileBytes(bytes, size, offset);
        return;
    }
    if (state_ == State::NotPortable)
        return;
    // Only what the headers may need is kept; the rest is hashed once they have been read.
    const size_t keep = std::min(size, kMaxHeaderBytes - std::min(kMaxHeaderBytes, headers_.size()));
    headers_.insert(headers_.end(), bytes, bytes + keep);
    ReadHeaders();
    if (state_ == State::Body) {
        HashFileBytes(headers_.data(), headers_.size(), 0);
        HashFileBytes(bytes + keep, size - keep, offset + keep);
        headers_ = {};
    } else if (state_ == State::Headers && headers_.size() >= kMaxHeaderBytes) {
        state_ = State::NotPortable;
    }
}

// Moves to Body once the bytes up to the certificate table's directory entry are there, or to
// NotPortable when they say this is no PE file with a certificate table.
void PeImageHasher::ReadHeaders()
{
    const size_t have = headers_.size();
    if (have < kDosHeaderBytes)
        return;
    const uint8_t* p = headers_.data();
    if (p[0] != 'M' || p[1] != 'Z') {
        state_ = State::NotPortable;
        return;
    }
    const uint64_t peAt = ReadU32(p + kNewHeaderPointer);
    const uint64_t optionalAt = peAt + kFileHeaderBytes;
    if (optionalAt + 2 > kMaxHeaderBytes) {
        state_ = State::NotPortable;
        return;
    }
    if (have < optionalAt + 2)
        return;
    const uint16_t magic = ReadU16(p + optionalAt);
    const uint64_t directoriesAt = optionalAt + (magic == kMagicPe32Plus ? 112 : 96);
    const uint64_t countAt = directoriesAt - 4;
    const uint64_t entryAt = directoriesAt + kSecurityDirectory * kDirectoryEntryBytes;
    if (std::memcmp(p + peAt, "PE\0\0", 4) != 0 || (magic != kMagicPe32 && magic != kMagicPe32Plus) ||
        entryAt + kDirectoryEntryBytes > kMaxHeaderBytes) {
        state_ = State::NotPortable;
        return;
    }
    if (have < entryAt + kDirectoryEntryBytes)
        return;
    const uint64_t optionalSize = ReadU16(p + peAt + kOptionalHeaderSizeAt);
    const uint64_t tableAt = ReadU32(p + entryAt);
    const uint32_t tableSize = ReadU32(p + entryAt + 4);
    // The entry must lie inside the optional header the file declares, and the table after the
    // headers' hashed part: otherwise the digest would not cover what it claims to.
    if (ReadU32(p + countAt) <= kSecurityDirectory || entryAt + kDirectoryEntryBytes > optionalAt + optionalSize ||
        tableSize == 0 || tableAt < entryAt + kDirectoryEntryBytes) {
        state_ = State::NotPortable;
        return;
    }
    checksumOffset_ = optionalAt + kChecksumAt;
    directoryOffset_ = entryAt;
    result_.certificateOffset = tableAt;
    result_.certificateSize = tableSize;
    state_ = State::Body;
}

// Hashes the bytes at file offset `offset` that the digest covers: everything before the
// certificate table but the checksum and the table's directory entry.
void PeImageHasher::HashFileBytes(const uint8_t* data, size_t size, uint64_t offset)
{
    const uint64_t end = offset + size;
    const uint64_t covered[3][2] = {{0, checksumOffset_},
                                    {checksumOffset_ + 4, directoryOffset_},
                                    {directoryOffset_ + kDirectoryEntryBytes, result_.certificateOffset}};
    for (const auto& range : covered) {
        const uint64_t from = std::max(range[0], offset);
        const uint64_t to = std::min(range[1], end);
        if (from < to)
            sha256_.Update(data + (from - offset), static_cast<size_t>(to - from));
    }
}

PeImageDigest PeImageHasher::Finish()
{
    if (state_ != State::Body || fed_ < result_.certificateOffset)
        return PeImageDigest();
    result_.complete = true;
    result_.sha256 = sha256_.Finish();
    return result_;
}

} // namespace orvanta
