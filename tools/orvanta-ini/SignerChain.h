// The certificate chain of an Authenticode signature, for the Signer line of `hash`.
#pragma once

#include <string>
#include <vector>

namespace orvanta_ini {

struct ChainCertificate {
    std::string keyHash;  // SHA-256 of the DER SubjectPublicKeyInfo, 64 lower-case hex digits
    std::string subject;  // "CN: name, O: organization", most specific part first
};

// The signer's chain of the DER PKCS#7 `pkcs7`, signer first, built from the certificates that
// the signature carries (up to a self-signed one, or as far as they reach). Empty when the
// signature cannot be read, and in builds that cannot read signatures (SignaturesReadable).
std::vector<ChainCertificate> SignerChainOf(const std::string& pkcs7);
bool SignaturesReadable();

} // namespace orvanta_ini
