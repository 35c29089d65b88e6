#include "PeSignature.h"

#include "download/PeImageDigest.h"

#include <cstdint>
#include <fstream>

namespace orvanta_ini {
namespace {

// Enough for the DOS header, the PE headers and the data directories of any real linker's output.
constexpr size_t kHeaderBytes = 4096;
// A signature table larger than this is not read: real ones take a few kilobytes.
constexpr uint32_t kMaxTableBytes = 16u << 20;
constexpr uint16_t kPkcsSignedData = 2;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA

} // namespace

bool ReadPeSignature(const std::string& path, std::string& pkcs7)
{
    std::ifstream file(path, std::ios::binary);
    std::string header(kHeaderBytes, '\0');
    file.read(&header[0], static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<size_t>(file.gcount()));
    orvanta::PeSignatureLayout layout;
    if (orvanta::ReadPeSignatureLayout(reinterpret_cast<const uint8_t*>(header.data()), header.size(), layout) !=
            orvanta::PeLayoutRead::Found ||
        layout.tableSize > kMaxTableBytes)
        return false;
    file.clear();
    std::string table(layout.tableSize, '\0');
    if (!file.seekg(static_cast<std::streamoff>(layout.tableOffset)) ||
        !file.read(&table[0], static_cast<std::streamsize>(layout.tableSize)))
        return false;
    // WIN_CERTIFICATE entries, each 8-byte aligned: length, revision, type, then the data.
    for (size_t at = 0; at + 8 <= table.size();) {
        const auto* entry = reinterpret_cast<const uint8_t*>(table.data()) + at;
        const uint32_t length = orvanta::LittleEndian32(entry);
        const uint16_t type = orvanta::LittleEndian16(entry + 6);
        if (length < 8 || length > table.size() - at)
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
