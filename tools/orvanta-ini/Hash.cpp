#include "Hash.h"

#include "PeSignature.h"

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
    std::string pkcs7;
    hashes.hasSignature = ReadPeSignature(path, pkcs7);
    hashes.signerChain = hashes.hasSignature ? SignerChainOf(pkcs7) : std::vector<ChainCertificate>();
    return true;
}

std::string HashLines(const FileHashes& hashes)
{
    std::string lines;
    if (hashes.size <= 0xFFFFFFFFull)
        lines += "ExactSize=" + std::to_string(hashes.size) + "\n";
    lines += "MD5=" + hashes.md5 + "\nSHA256=" + hashes.sha256 + "\n";
    if (hashes.signerChain.empty())
        return lines;
    // The signer's own key by default: a CA's key would admit whatever the CA signed for anyone.
    lines += "Signer=" + hashes.signerChain.front().keyHash + "\n";
    lines += "; keys of the signature's chain, signer first (Signer takes several, separated by commas):\n";
    for (const ChainCertificate& certificate : hashes.signerChain)
        lines += "; " + certificate.keyHash + "  " + certificate.subject + "\n";
    return lines;
}

} // namespace orvanta_ini
