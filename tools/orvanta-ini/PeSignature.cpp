#include "PeSignature.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace orvanta_ini {
namespace {

// Enough for the DOS header, the PE headers and the data directories of any real linker's output.
constexpr size_t kHeaderBytes = 4096;
// A signature table larger than this is not read: real ones take a few kilobytes.
constexpr uint32_t kMaxTableBytes = 16u << 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;  // IMAGE_DIRECTORY_ENTRY_SECURITY
constexpr uint16_t kPkcsSignedData = 2;     // WIN_CERT_TYPE_PKCS_SIGNED_DATA

// Little-endian reads that fail (return false) past the end of `bytes`.
bool Read16(const std::string& bytes, size_t offset, uint16_t& value)
{
    if (offset > bytes.size() || bytes.size() - offset < 2)
        return false;
    value = static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) | static_cast<uint8_t>(bytes[offset + 1]) << 8);
    return true;
}

bool Read32(const std::string& bytes, size_t offset, uint32_t& value)
{
    uint16_t low = 0;
    uint16_t high = 0;
    if (!Read16(bytes, offset, low) || !Read16(bytes, offset + 2, high))
        return false;
    value = static_cast<uint32_t>(high) << 16 | low;
    return true;
}

// Where the certificate table lies in the file (its directory entry holds a file offset, not an
// address), from the file's first bytes.
bool FindCertificateTable(const std::string& header, uint32_t& offset, uint32_t& size)
{
    uint32_t peOffset = 0;
    uint16_t optionalSize = 0;
    uint16_t magic = 0;
    if (header.compare(0, 2, "MZ") != 0 || !Read32(header, 0x3C, peOffset) || peOffset > header.size() - 4 ||
        header.compare(peOffset, 4, std::string("PE\0\0", 4)) != 0 ||
        !Read16(header, peOffset + 20, optionalSize) || !Read16(header, peOffset + 24, magic))
        return false;
    const size_t optional = peOffset + 24;
    if (magic != kPe32Magic && magic != kPe32PlusMagic)
        return false;
    const size_t countAt = optional + (magic == kPe32Magic ? 92 : 108);
    const size_t entry = countAt + 4 + 8 * kSecurityDirectory;
    uint32_t count = 0;
    return Read32(header, countAt, count) && count > kSecurityDirectory && entry + 8 <= optional + optionalSize &&
           Read32(header, entry, offset) && Read32(header, entry + 4, size) && offset != 0 && size != 0;
}

} // namespace

bool ReadPeSignature(const std::string& path, std::string& pkcs7)
{
    std::ifstream file(path, std::ios::binary);
    std::string header(kHeaderBytes, '\0');
    file.read(&header[0], static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<size_t>(file.gcount()));
    uint32_t offset = 0;
    uint32_t size = 0;
    if (!FindCertificateTable(header, offset, size) || size > kMaxTableBytes)
        return false;
    file.clear();
    std::string table(size, '\0');
    if (!file.seekg(offset) || !file.read(&table[0], static_cast<std::streamsize>(size)))
        return false;
    // WIN_CERTIFICATE entries, each 8-byte aligned: length, revision, type, then the data.
    for (size_t at = 0; at + 8 <= table.size();) {
        uint32_t length = 0;
        uint16_t type = 0;
        if (!Read32(table, at, length) || !Read16(table, at + 6, type) || length < 8 || length > table.size() - at)
            return false;
        if (type == kPkcsSignedData) {
            pkcs7 = table.substr(at + 8, length - 8);
            return true;
        }
        at += (length + 7) & ~size_t{7};
    }
    return false;
}

} // namespace orvanta_ini
