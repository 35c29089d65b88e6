// The crypt32.dll functions that read signed messages and build certificate chains, loaded from
// the system folder (crypt32 is not a KnownDLL everywhere: platform/SystemLibrary.h), and owners
// for what they hand out.
#pragma once

#include "download/SignerPins.h"
#include "platform/SystemLibrary.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace orvanta {

struct Crypt32Api {
    // Authenticode's structures are decoded by wintrust.dll, which crypt32 loads by its bare name:
    // loaded from the system folder first, it is the one found.
    SystemLibrary wintrust{L"wintrust.dll"};
    SystemLibrary library{L"crypt32.dll"};
    decltype(&::CryptMsgOpenToDecode) msgOpenToDecode = nullptr;
    decltype(&::CryptMsgUpdate) msgUpdate = nullptr;
    decltype(&::CryptMsgGetParam) msgGetParam = nullptr;
    decltype(&::CryptMsgControl) msgControl = nullptr;
    decltype(&::CryptMsgClose) msgClose = nullptr;
    decltype(&::CertOpenStore) openStore = nullptr;
    decltype(&::CertCloseStore) closeStore = nullptr;
    decltype(&::CertGetSubjectCertificateFromStore) subjectCertificate = nullptr;
    decltype(&::CertEnumCertificatesInStore) enumCertificates = nullptr;
    decltype(&::CertFreeCertificateContext) freeCertificate = nullptr;
    decltype(&::CertGetCertificateChain) getChain = nullptr;
    decltype(&::CertFreeCertificateChain) freeChain = nullptr;
    decltype(&::CryptDecodeObjectEx) decodeObject = nullptr;
    decltype(&::CryptEncodeObjectEx) encodeObject = nullptr;

    Crypt32Api();
    bool Complete() const;
};

// The one table of the process.
const Crypt32Api& Crypt32();

// The hash of the certificate's DER SubjectPublicKeyInfo; false when it cannot be encoded.
bool KeyHashOf(const CERT_CONTEXT& certificate, KeyHash& hash);

// Chains longer than this are not read: no real code-signing chain comes near it.
constexpr DWORD kMaxChainLength = 16;

// The key hashes of a chain of `count` certificates, `certificateAt(index)` giving each, in
// order; false when the chain is too long or a certificate is missing or cannot be read.
template <typename CertificateAt>
bool ChainKeyHashes(DWORD count, CertificateAt certificateAt, std::vector<KeyHash>& keys)
{
    keys.clear();
    if (count == 0 || count > kMaxChainLength)
        return false;
    for (DWORD index = 0; index < count; ++index) {
        const CERT_CONTEXT* certificate = certificateAt(index);
        KeyHash hash{};
        if (certificate == nullptr || !KeyHashOf(*certificate, hash)) {
            keys.clear();
            return false;
        }
        keys.push_back(hash);
    }
    return true;
}

struct CryptMsgTraits {
    static HCRYPTMSG Invalid() noexcept { return nullptr; }
    static void Close(HCRYPTMSG message) noexcept { Crypt32().msgClose(message); }
};
struct CertStoreTraits {
    static HCERTSTORE Invalid() noexcept { return nullptr; }
    static void Close(HCERTSTORE store) noexcept { Crypt32().closeStore(store, 0); }
};
struct CertificateTraits {
    static PCCERT_CONTEXT Invalid() noexcept { return nullptr; }
    static void Close(PCCERT_CONTEXT certificate) noexcept { Crypt32().freeCertificate(certificate); }
};
struct ChainTraits {
    static PCCERT_CHAIN_CONTEXT Invalid() noexcept { return nullptr; }
    static void Close(PCCERT_CHAIN_CONTEXT chain) noexcept { Crypt32().freeChain(chain); }
};
using UniqueCryptMsg = UniqueResource<HCRYPTMSG, CryptMsgTraits>;
using UniqueCertStore = UniqueResource<HCERTSTORE, CertStoreTraits>;
using UniqueCertificate = UniqueResource<PCCERT_CONTEXT, CertificateTraits>;
using UniqueChain = UniqueResource<PCCERT_CHAIN_CONTEXT, ChainTraits>;

} // namespace orvanta
