#include "download/SignerCheck.h"

#include "download/Crypt32Api.h"
#include "download/EmbeddedSignature.h"
#include "download/FileDigests.h"
#include "platform/Logger.h"
#include "platform/ResultCodes.h"
#include "platform/SystemLibrary.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

namespace orvanta {
namespace {

// wintrust.dll, loaded from the system folder with crypt32.dll (download/Crypt32Api.h).
struct TrustApi {
    decltype(&::WinVerifyTrust) verifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) providerData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) signerOf = nullptr;

    TrustApi()
    {
        const SystemLibrary& wintrust = Crypt32().wintrust;
        wintrust.Find("WinVerifyTrust", verifyTrust);
        wintrust.Find("WTHelperProvDataFromStateData", providerData);
        wintrust.Find("WTHelperGetProvSignerFromChain", signerOf);
    }

    bool Complete() const
    {
        return verifyTrust != nullptr && providerData != nullptr && signerOf != nullptr &&
               Crypt32().encodeObject != nullptr;
    }
};

const TrustApi& Api()
{
    static const TrustApi api;
    return api;
}

// One WinVerifyTrust verification of a file; its state data is released on destruction.
class TrustVerification {
public:
    TrustVerification(const TrustApi& api, const std::wstring& path) : api_(api)
    {
        file_.cbStruct = sizeof(file_);
        file_.pcwszFilePath = path.c_str();
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        // Revocation of the whole chain, but from what the system has cached only: the chain
        // engine would otherwise fetch revocation lists and missing issuer certificates from the
        // network, and an offline run would wait for each fetch to time out.
        data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN | WTD_CACHE_ONLY_URL_RETRIEVAL;
        status_ = api_.verifyTrust(NoUser(), &action_, &data_);
    }
    ~TrustVerification()
    {
        // The state data is kept even when the verification fails.
        if (data_.hWVTStateData != nullptr) {
            data_.dwStateAction = WTD_STATEACTION_CLOSE;
            api_.verifyTrust(NoUser(), &action_, &data_);
        }
    }
    TrustVerification(const TrustVerification&) = delete;
    TrustVerification& operator=(const TrustVerification&) = delete;

    LONG Status() const { return status_; }

    // The primary signer, or null when the file has none that could be read.
    CRYPT_PROVIDER_SGNR* Signer() const
    {
        if (data_.hWVTStateData == nullptr)
            return nullptr;
        CRYPT_PROVIDER_DATA* provider = api_.providerData(data_.hWVTStateData);
        return provider != nullptr ? api_.signerOf(provider, 0, FALSE, 0) : nullptr;
    }

private:
    // INVALID_HANDLE_VALUE as the window: there is no interactive user to ask.
    static HWND NoUser() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

    const TrustApi& api_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG status_ = 0;
};

// The key hashes of the signer's chain, signer first; empty when one cannot be read.
std::vector<KeyHash> ChainKeys(const CRYPT_PROVIDER_SGNR& signer)
{
    std::vector<KeyHash> keys;
    if (signer.pasCertChain != nullptr)
        ChainKeyHashes(
            signer.csCertChain, [&signer](DWORD index) { return signer.pasCertChain[index].pCert; }, keys);
    return keys;
}

// The only chain errors that a pinned key makes good: the pin, not the machine's root store,
// names the trust anchor. A chain that is untimely, not for code signing, revoked or badly
// signed still fails.
constexpr DWORD kErrorsAPinAnswers = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;
// Revocation that could not be checked (nothing cached, the machine offline) is a soft failure,
// as it is for HTTPS: the signature and the pin still hold. A certificate known to be revoked
// (CERT_E_REVOKED, CERT_TRUST_IS_REVOKED) is not among these.
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

bool RevocationOnly(LONG status)
{
    return status == CERT_E_REVOCATION_FAILURE || status == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
           status == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}

// Nothing is wrong with the chain but what a pin answers for and revocation that is unknown.
bool OnlyErrorsAPinAnswers(DWORD chainErrors)
{
    return (chainErrors & ~(kErrorsAPinAnswers | kRevocationUnknown)) == 0;
}

bool TrustedThroughPin(const SignatureChain& chain)
{
    const bool rootOnly = chain.trustStatus == CERT_E_UNTRUSTEDROOT || chain.trustStatus == CERT_E_CHAINING ||
                          RevocationOnly(chain.trustStatus);
    return rootOnly && OnlyErrorsAPinAnswers(chain.chainErrors);
}

bool AnyPinned(const std::vector<KeyHash>& keys, const std::vector<KeyHash>& pins)
{
    for (const KeyHash& key : keys) {
        if (IsPinned(key, pins))
            return true;
    }
    return false;
}

void LogRevocationUnknown(const std::wstring& path)
{
    LogLine(L"Revocation of the signature could not be checked; the file is accepted without that check:" + path);
}

} // namespace

SignatureChain ReadSignatureChain(const std::wstring& path)
{
    const TrustApi& api = Api();
    SignatureChain chain;
    if (!api.Complete()) {
        const DWORD error = !Crypt32().wintrust.IsLoaded()  ? Crypt32().wintrust.MissingError()
                            : !Crypt32().library.IsLoaded() ? Crypt32().library.MissingError()
                                                            : ERROR_PROC_NOT_FOUND;
        chain.trustStatus = HRESULT_FROM_WIN32(error);
        return chain;
    }
    const TrustVerification verification(api, path);
    chain.trustStatus = verification.Status();
    const CRYPT_PROVIDER_SGNR* signer = verification.Signer();
    if (signer == nullptr)
        return chain;
    if (signer->pChainContext != nullptr)
        chain.chainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
    chain.keys = ChainKeys(*signer);
    return chain;
}

uint32_t SignerVerdict(const SignatureChain& chain, const std::vector<KeyHash>& pins)
{
    // Windows answers CERT_E_UNTRUSTEDROOT (or CERT_E_CHAINING) for a chain that ends in a root it
    // does not trust, after the file's digest and the signature have been checked. A pinned key
    // in that chain is the trust anchor the package's author chose, so the file is accepted when
    // nothing else is wrong with the chain.
    if ((chain.trustStatus != 0 && !TrustedThroughPin(chain)) || chain.keys.empty())
        return DLERR_SIGNATURE_INVALID;
    return AnyPinned(chain.keys, pins) ? 0 : DLERR_SIGNER_NOT_PINNED;
}

uint32_t CheckSigner(const std::wstring& path, const std::vector<KeyHash>& pins, const PeImageDigest& digest)
{
    // Accepted here only on the terms SignerVerdict accepts a chain on; whatever this path cannot
    // vouch for (an expired signer whose timestamp WinVerifyTrust would honour, a pin not in the
    // chain, another form of signature) gets WinVerifyTrust's verdict.
    EmbeddedChain embedded;
    if (ReadEmbeddedSignature(path, digest, embedded) && OnlyErrorsAPinAnswers(embedded.errors) &&
        AnyPinned(embedded.keys, pins)) {
        if ((embedded.errors & kRevocationUnknown) != 0)
            LogRevocationUnknown(path);
        return 0;
    }
    const SignatureChain chain = ReadSignatureChain(path);
    const uint32_t verdict = SignerVerdict(chain, pins);
    const bool chainKnown = chain.chainErrors != SignatureChain().chainErrors;
    if (verdict == 0 && (RevocationOnly(chain.trustStatus) || (chainKnown && (chain.chainErrors & kRevocationUnknown) != 0)))
        LogRevocationUnknown(path);
    return verdict;
}

uint32_t CheckSigner(const std::wstring& path, const std::vector<KeyHash>& pins)
{
    ContentDigests digests;
    if (ComputeFileDigests(path, false, false, digests, true) != 0)
        digests = ContentDigests();
    return CheckSigner(path, pins, digests.peImage);
}

} // namespace orvanta
