#include "Hash.h"

#include "download/Md5AndSha256.h"

#include <fstream>
#include <vector>

namespace orvanta_ini {

bool HashFile(const std::string& path, FileHashes& hashes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    orvanta::Md5AndSha256 digests;  // one pass for both where the processor allows it
    std::vector<char> buffer(1 << 16);
    hashes.size = 0;
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto count = static_cast<size_t>(file.gcount());
        digests.Update(buffer.data(), count);
        hashes.size += count;
    }
    if (file.bad())
        return false;
    char md5Hex[33];
    char sha256Hex[65];
    orvanta::Md5::ToHex(digests.FinishMd5(), md5Hex);
    orvanta::Sha256::ToHex(digests.FinishSha256(), sha256Hex);
    hashes.md5 = md5Hex;
    hashes.sha256 = sha256Hex;
    return true;
}

std::string HashLines(const FileHashes& hashes)
{
    std::string lines;
    if (hashes.size <= 0xFFFFFFFFull)
        lines += "ExactSize=" + std::to_string(hashes.size) + "\n";
    return lines + "MD5=" + hashes.md5 + "\nSHA256=" + hashes.sha256 + "\n";
}

} // namespace orvanta_ini
