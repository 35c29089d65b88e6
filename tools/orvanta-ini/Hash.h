// `hash`: the lines that let the chainer check a download: ExactSize, MD5 and SHA256.
#pragma once

#include <string>

namespace orvanta_ini {

struct FileHashes {
    unsigned long long size = 0;
    std::string md5;     // 32 lower-case hex digits
    std::string sha256;  // 64 lower-case hex digits
};

// False when the file cannot be read.
bool HashFile(const std::string& path, FileHashes& hashes);
// "ExactSize=N\nMD5=...\nSHA256=...\n"; without ExactSize for a file of 4 GiB or more, whose
// size the chainer's 32-bit check cannot hold.
std::string HashLines(const FileHashes& hashes);

} // namespace orvanta_ini
