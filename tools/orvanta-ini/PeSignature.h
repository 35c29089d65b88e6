// The Authenticode signature of a PE file (program or library): the PKCS#7 SignedData that the
// file's certificate table holds. Plain file reading, built everywhere.
#pragma once

#include <string>

namespace orvanta_ini {

// True, with the DER PKCS#7 in `pkcs7`, when the file at `path` is a PE file whose certificate
// table holds an Authenticode signature. False for any other file, a file that cannot be read
// and a signature table that does not fit in the file.
bool ReadPeSignature(const std::string& path, std::string& pkcs7);

} // namespace orvanta_ini
