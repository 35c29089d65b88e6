// The chain through OpenSSL's PKCS#7 and X.509 parsers (the native build of the tool).
#include "SignerChain.h"

#include "download/SignerPins.h"

#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace orvanta_ini {
namespace {

// No real chain is this long; it bounds the walk should the certificates form a loop.
constexpr int kMaxChainLength = 16;

struct Pkcs7Free {
    void operator()(PKCS7* p) const { PKCS7_free(p); }
};
struct SignersFree {
    void operator()(STACK_OF(X509)* s) const { sk_X509_free(s); }  // the certificates belong to the PKCS#7
};

std::string KeyHashOf(X509* certificate)
{
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate);
    const int size = key != nullptr ? i2d_X509_PUBKEY(key, nullptr) : -1;
    if (size <= 0)
        return {};
    std::string der(static_cast<size_t>(size), '\0');
    auto* out = reinterpret_cast<unsigned char*>(&der[0]);
    if (i2d_X509_PUBKEY(key, &out) != size)
        return {};
    char hex[65];
    orvanta::Sha256::ToHex(orvanta::HashOfKeyInfo(der.data(), der.size()), hex);
    return hex;
}

// "CN: a, O: b": the comment lines of `hash` must hold no '=' (the INI reader would take them for
// keys) and no line break, so such characters in a name become '?'.
std::string SubjectOf(X509* certificate)
{
    const X509_NAME* name = X509_get_subject_name(certificate);
    std::string text;
    for (int index = X509_NAME_entry_count(name) - 1; index >= 0; --index) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, index);
        unsigned char* value = nullptr;
        const int length = ASN1_STRING_to_UTF8(&value, X509_NAME_ENTRY_get_data(entry));
        if (length < 0)
            continue;
        // The short name (CN, O) where OpenSSL knows one, else the dotted number.
        const ASN1_OBJECT* type = X509_NAME_ENTRY_get_object(entry);
        const int nid = OBJ_obj2nid(type);
        char field[80];
        if (nid != NID_undef)
            snprintf(field, sizeof(field), "%s", OBJ_nid2sn(nid));
        else
            OBJ_obj2txt(field, sizeof(field), type, 1);
        std::string part(reinterpret_cast<const char*>(value), static_cast<size_t>(length));
        OPENSSL_free(value);
        for (char& c : part) {
            if (c == '=' || static_cast<unsigned char>(c) < 0x20)
                c = '?';
        }
        text += (text.empty() ? "" : ", ") + std::string(field) + ": " + part;
    }
    return text;
}

// The certificate among `certificates` that issued `subject`, or null.
X509* IssuerOf(X509* subject, STACK_OF(X509)* certificates)
{
    for (int index = 0; index < sk_X509_num(certificates); ++index) {
        X509* candidate = sk_X509_value(certificates, index);
        if (candidate != subject && X509_check_issued(candidate, subject) == X509_V_OK)
            return candidate;
    }
    return nullptr;
}

} // namespace

std::vector<ChainCertificate> SignerChainOf(const std::string& pkcs7)
{
    const auto* in = reinterpret_cast<const unsigned char*>(pkcs7.data());
    const std::unique_ptr<PKCS7, Pkcs7Free> message(d2i_PKCS7(nullptr, &in, static_cast<long>(pkcs7.size())));
    if (!message || !PKCS7_type_is_signed(message.get()) || message->d.sign == nullptr)
        return {};
    const std::unique_ptr<STACK_OF(X509), SignersFree> signers(PKCS7_get0_signers(message.get(), nullptr, 0));
    if (!signers || sk_X509_num(signers.get()) < 1)
        return {};
    STACK_OF(X509)* certificates = message->d.sign->cert;
    std::vector<ChainCertificate> chain;
    X509* certificate = sk_X509_value(signers.get(), 0);
    for (int length = 0; certificate != nullptr && length < kMaxChainLength; ++length) {
        chain.push_back(ChainCertificate{KeyHashOf(certificate), SubjectOf(certificate)});
        if (chain.back().keyHash.empty())
            return {};
        if (X509_check_issued(certificate, certificate) == X509_V_OK)
            break;  // self-signed: the root
        certificate = IssuerOf(certificate, certificates);
    }
    return chain;
}

bool SignaturesReadable()
{
    return true;
}

} // namespace orvanta_ini
