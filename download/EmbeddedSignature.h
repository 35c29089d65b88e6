// The Authenticode signature in a PE file's certificate table, read with crypt32 and held against
// the image digest computed while the file was written or read (download/PeImageDigest.h), so the
// file is not read a second time. Only the common form is read: one signer, SHA-256 for the image
// and for the signer, the table ending the file. For anything else, and for every file this
// cannot vouch for, the caller asks WinVerifyTrust.
#pragma once

#include "download/PeImageDigest.h"
#include "download/SignerPins.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <string>
#include <vector>

namespace orvanta {

struct EmbeddedChain {
    DWORD errors = 0;           // CERT_TRUST_* error bits of the chain
    std::vector<KeyHash> keys;  // hashes of the chain's keys, signer first
};

// True when the file at `path` is `digest.certificateOffset + digest.certificateSize` bytes long,
// its certificate table holds one signature and nothing after it, the signed image digest is
// `digest`, and the signature was made with the key of the signer certificate it names. `chain`
// is then that certificate's chain as the system builds it for code signing at the current time,
// with revocation read from what the system has cached.
bool ReadEmbeddedSignature(const std::wstring& path, const PeImageDigest& digest, EmbeddedChain& chain);

// Loads crypt32 and opens the certificate stores a chain is built from, on a thread of its own,
// while the download whose signature is checked next arrives: the first check of a process
// otherwise waits for that. Waits for the thread on destruction.
class SignatureCheckPreparation {
public:
    explicit SignatureCheckPreparation(bool wanted);
    ~SignatureCheckPreparation();
    SignatureCheckPreparation(const SignatureCheckPreparation&) = delete;
    SignatureCheckPreparation& operator=(const SignatureCheckPreparation&) = delete;

private:
    UniqueHandle thread_;
};

} // namespace orvanta
