// The Authenticode signature of a file, checked against signer pins (download/SignerPins.h): the
// signature must hold and one certificate of its signer's chain must have a pinned key.
#pragma once

#include "download/PeImageDigest.h"
#include "download/SignerPins.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

// What WinVerifyTrust made of a file's signature.
struct SignatureChain {
    LONG trustStatus = 0;          // WinVerifyTrust's answer
    DWORD chainErrors = 0xFFFFFFFF;  // CERT_TRUST_* error bits of the signer's chain; all set: unknown
    std::vector<KeyHash> keys;     // hashes of the chain's keys, signer first; empty: none read
};

// Verifies the signature of the file at `path` (its digest included) and reads the signer's chain.
// Revocation is not checked, and nothing is fetched from the network.
SignatureChain ReadSignatureChain(const std::wstring& path);

// 0 when the signature holds and a key of the chain is pinned; DLERR_SIGNER_NOT_PINNED when the
// signature holds but no key of the chain is pinned; DLERR_SIGNATURE_INVALID otherwise (no
// signature, a broken one, a digest that does not match the file, a chain that fails a check).
uint32_t SignerVerdict(const SignatureChain& chain, const std::vector<KeyHash>& pins);

// The verdict of SignerVerdict on the file. `digest`, the file's Authenticode digest computed while
// it was written or read, spares the file a second reading when its signature has the common form
// (download/EmbeddedSignature.h) and the chain holds a pinned key; otherwise the verdict is that of
// the file's ReadSignatureChain. Logs when the revocation of the signature could not be checked.
uint32_t CheckSigner(const std::wstring& path, const std::vector<KeyHash>& pins, const PeImageDigest& digest);
// The same, with the digest read from the file first.
uint32_t CheckSigner(const std::wstring& path, const std::vector<KeyHash>& pins);

} // namespace orvanta
