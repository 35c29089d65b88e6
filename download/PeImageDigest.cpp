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

} // namespace

uint16_t LittleEndian16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t LittleEndian32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

PeLayoutRead ReadPeSignatureLayout(const uint8_t* bytes, size_t size, PeSignatureLayout& layout)
{
    if (size < kDosHeaderBytes)
        return PeLayoutRead::NeedMoreBytes;
    if (bytes[0] != 'M' || bytes[1] != 'Z')
        return PeLayoutRead::NotSigned;
    const uint64_t peAt = LittleEndian32(bytes + kNewHeaderPointer);
    const uint64_t optionalAt = peAt + kFileHeaderBytes;
    if (size < optionalAt + 2)
        return PeLayoutRead::NeedMoreBytes;
    const uint16_t magic = LittleEndian16(bytes + optionalAt);
    if (std::memcmp(bytes + peAt, "PE\0\0", 4) != 0 || (magic != kMagicPe32 && magic != kMagicPe32Plus))
        return PeLayoutRead::NotSigned;
    const uint64_t directoriesAt = optionalAt + (magic == kMagicPe32Plus ? 112 : 96);
    const uint64_t entryAt = directoriesAt + kSecurityDirectory * kDirectoryEntryBytes;
    if (size < entryAt + kDirectoryEntryBytes)
        return PeLayoutRead::NeedMoreBytes;
    const uint64_t optionalSize = LittleEndian16(bytes + peAt + kOptionalHeaderSizeAt);
    const uint64_t tableAt = LittleEndian32(bytes + entryAt);
    const uint32_t tableSize = LittleEndian32(bytes + entryAt + 4);
    // The entry must lie inside the optional header the file declares, and the table after the
    // headers' hashed part: otherwise a digest would not cover what it claims to.
    if (LittleEndian32(bytes + directoriesAt - 4) <= kSecurityDirectory ||
        entryAt + kDirectoryEntryBytes > optionalAt + optionalSize || tableSize == 0 ||
        tableAt < entryAt + kDirectoryEntryBytes)
        return PeLayoutRead::NotSigned;
    layout.checksumOffset = optionalAt + kChecksumAt;
    layout.directoryOffset = entryAt;
    layout.tableOffset = tableAt;
    layout.tableSize = tableSize;
    return PeLayoutRead::Found;
}

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
    const PeLayoutRead read = ReadPeSignatureLayout(headers_.data(), headers_.size(), layout_);
    if (read == PeLayoutRead::Found) {
        state_ = State::Body;
        result_.certificateOffset = layout_.tableOffset;
        result_.certificateSize = layout_.tableSize;
        HashFileBytes(headers_.data(), headers_.size(), 0);
        HashFileBytes(bytes + keep, size - keep, offset + keep);
        headers_ = {};
    } else if (read == PeLayoutRead::NotSigned || headers_.size() >= kMaxHeaderBytes) {
        state_ = State::NotPortable;
    }
}

// Hashes the bytes at file offset `offset` that the digest covers: everything before the
// certificate table but the checksum and the table's directory entry.
void PeImageHasher::HashFileBytes(const uint8_t* data, size_t size, uint64_t offset)
{
    const uint64_t end = offset + size;
    const uint64_t covered[3][2] = {{0, layout_.checksumOffset},
                                    {layout_.checksumOffset + 4, layout_.directoryOffset},
                                    {layout_.directoryOffset + kDirectoryEntryBytes, layout_.tableOffset}};
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
