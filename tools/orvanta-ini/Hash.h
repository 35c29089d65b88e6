// `hash`: the lines that let the chainer check a download: ExactSize, MD5 and SHA256, and for
// a signed program the Signer line with the keys of its signature's chain.
#pragma once

#include "SignerChain.h"

#include <string>
#include <vector>

namespace orvanta_ini {

struct FileHashes {
    unsigned long long size = 0;
    std::string md5;     // 32 lower-case hex digits
    std::string sha256;  // 64 lower-case hex digits
    bool hasSignature = false;                  // a PE file with an Authenticode signature
    std::vector<ChainCertificate> signerChain;  // its chain, signer first; empty when not read
};

// False when the file cannot be read.
bool HashFile(const std::string& path, FileHashes& hashes);
// "ExactSize=N\nMD5=...\nSHA256=...\n"; without ExactSize for a file of 4 GiB or more, whose
// size the chainer's 32-bit check cannot hold. With a signer chain also "Signer=" and the signer's
// key, then comment lines with each key of the chain and its certificate's subject.
std::string HashLines(const FileHashes& hashes);

} // namespace orvanta_ini
