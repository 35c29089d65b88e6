#include "download/Crypt32Api.h"

#include <vector>

namespace orvanta {

Crypt32Api::Crypt32Api()
{
    library.Find("CryptMsgOpenToDecode", msgOpenToDecode);
    library.Find("CryptMsgUpdate", msgUpdate);
    library.Find("CryptMsgGetParam", msgGetParam);
    library.Find("CryptMsgControl", msgControl);
    library.Find("CryptMsgClose", msgClose);
    library.Find("CertOpenStore", openStore);
    library.Find("CertCloseStore", closeStore);
    library.Find("CertGetSubjectCertificateFromStore", subjectCertificate);
    library.Find("CertFreeCertificateContext", freeCertificate);
    library.Find("CertEnumCertificatesInStore", enumCertificates);
    library.Find("CertGetCertificateChain", getChain);
    library.Find("CertFreeCertificateChain", freeChain);
    library.Find("CryptDecodeObjectEx", decodeObject);
    library.Find("CryptEncodeObjectEx", encodeObject);
}

bool Crypt32Api::Complete() const
{
    return wintrust.IsLoaded() && msgOpenToDecode != nullptr && msgUpdate != nullptr && msgGetParam != nullptr && msgControl != nullptr &&
           msgClose != nullptr && openStore != nullptr && closeStore != nullptr && subjectCertificate != nullptr && enumCertificates != nullptr &&
           freeCertificate != nullptr && getChain != nullptr && freeChain != nullptr && decodeObject != nullptr &&
           encodeObject != nullptr;
}

const Crypt32Api& Crypt32()
{
    static const Crypt32Api api;
    return api;
}

bool KeyHashOf(const CERT_CONTEXT& certificate, KeyHash& hash)
{
    const Crypt32Api& api = Crypt32();
    if (api.encodeObject == nullptr || certificate.pCertInfo == nullptr)
        return false;
    const CERT_PUBLIC_KEY_INFO* keyInfo = &certificate.pCertInfo->SubjectPublicKeyInfo;
    DWORD size = 0;
    if (!api.encodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, keyInfo, 0, nullptr, nullptr, &size))
        return false;
    std::vector<BYTE> der(size);
    if (!api.encodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, keyInfo, 0, nullptr, der.data(), &size))
        return false;
    hash = HashOfKeyInfo(der.data(), size);
    return true;
}

} // namespace orvanta
