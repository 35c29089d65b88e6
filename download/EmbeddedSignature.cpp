#include "download/EmbeddedSignature.h"

#include "download/Crypt32Api.h"
#include "platform/FaultTranslation.h"
#include "platform/Paths.h"

#include <wintrust.h>

#include <atomic>
#include <cstring>
#include <exception>

namespace orvanta {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// A signature with its certificates takes some kilobytes; a table this large is not read.
constexpr uint32_t kMaxTableBytes = 1024 * 1024;
constexpr size_t kEntryHeaderBytes = 8;  // WIN_CERTIFICATE's length, revision and type
constexpr size_t kEntryAlignment = 8;
// Not named by every SDK's headers.
constexpr char kPeImageData[] = "1.3.6.1.4.1.311.2.1.15";  // SPC_PE_IMAGE_DATAOBJ
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

// The header and whole length of the DER element at `data`; false unless it has a definite
// length that fits in `size`.
bool DerElement(const BYTE* data, size_t size, size_t& header, size_t& total)
{
    if (size < 2)
        return false;
    size_t length = data[1];
    header = 2;
    if ((length & 0x80) != 0) {
        const size_t count = length & 0x7F;
        if (count == 0 || count > 4 || size < 2 + count)
            return false;
        length = 0;
        for (size_t i = 0; i < count; ++i)
            length = (length << 8) | data[2 + i];
        header += count;
    }
    if (length > size - header)
        return false;
    total = header + length;
    return true;
}

// The certificate table, which must end the file.
bool ReadCertificateTable(const std::wstring& path, const PeImageDigest& digest, std::vector<BYTE>& table)
{
    if (digest.certificateSize > kMaxTableBytes)
        return false;
    UniqueFile file(::CreateFileW(MakeLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) ||
        static_cast<uint64_t>(size.QuadPart) != digest.certificateOffset + digest.certificateSize)
        return false;
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(digest.certificateOffset);
    table.resize(digest.certificateSize);
    DWORD read = 0;
    return ::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) &&
           ::ReadFile(file.Get(), table.data(), digest.certificateSize, &read, nullptr) &&
           read == digest.certificateSize;
}

// The DER bytes of the table's one signature; only the zeros that align an entry may follow it.
bool SignatureInTable(const std::vector<BYTE>& table, const BYTE*& der, size_t& derSize)
{
    if (table.size() < kEntryHeaderBytes + 2)
        return false;
    const uint32_t length = LittleEndian32(table.data());
    const WORD revision = LittleEndian16(table.data() + 4);
    const WORD type = LittleEndian16(table.data() + 6);
    size_t header = 0;
    if (length < kEntryHeaderBytes || length > table.size() || revision != WIN_CERT_REVISION_2_0 ||
        type != WIN_CERT_TYPE_PKCS_SIGNED_DATA || table[kEntryHeaderBytes] != 0x30 ||
        !DerElement(table.data() + kEntryHeaderBytes, length - kEntryHeaderBytes, header, derSize))
        return false;
    const size_t end = kEntryHeaderBytes + derSize;
    if (table.size() - end >= kEntryAlignment)
        return false;
    for (size_t i = end; i < table.size(); ++i) {
        if (table[i] != 0)
            return false;
    }
    der = table.data() + kEntryHeaderBytes;
    return true;
}

// The two-call pattern of CryptMsgGetParam; false for a parameter that is missing or empty.
bool MessageParam(HCRYPTMSG message, DWORD type, DWORD index, std::vector<BYTE>& value)
{
    const Crypt32Api& api = Crypt32();
    DWORD size = 0;
    if (!api.msgGetParam(message, type, index, nullptr, &size) || size == 0 || size > kMaxTableBytes * 4)
        return false;
    value.resize(size);
    if (!api.msgGetParam(message, type, index, value.data(), &size))
        return false;
    value.resize(size);
    return true;
}

bool Decode(LPCSTR structType, const BYTE* data, size_t size, std::vector<BYTE>& decoded)
{
    const Crypt32Api& api = Crypt32();
    DWORD decodedSize = 0;
    const DWORD dataSize = static_cast<DWORD>(size);
    if (!api.decodeObject(X509_ASN_ENCODING, structType, data, dataSize, 0, nullptr, nullptr, &decodedSize))
        return false;
    decoded.resize(decodedSize);
    return api.decodeObject(X509_ASN_ENCODING, structType, data, dataSize, 0, nullptr, decoded.data(), &decodedSize) !=
           FALSE;
}

bool SameOid(LPCSTR oid, const char* expected)
{
    return oid != nullptr && std::strcmp(oid, expected) == 0;
}

bool SameBytes(const CRYPT_DATA_BLOB& blob, const Sha256::Digest& digest)
{
    return blob.cbData == digest.size() && std::memcmp(blob.pbData, digest.data(), digest.size()) == 0;
}

// A signed message of Authenticode's indirect data, with one signer.
bool IsAuthenticodeMessage(HCRYPTMSG message)
{
    std::vector<BYTE> type, innerType, signers;
    return MessageParam(message, CMSG_TYPE_PARAM, 0, type) && type.size() == sizeof(DWORD) &&
           *reinterpret_cast<const DWORD*>(type.data()) == CMSG_SIGNED &&
           MessageParam(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0, innerType) &&
           std::memchr(innerType.data(), 0, innerType.size()) != nullptr &&
           SameOid(reinterpret_cast<LPCSTR>(innerType.data()), SPC_INDIRECT_DATA_OBJID) &&
           MessageParam(message, CMSG_SIGNER_COUNT_PARAM, 0, signers) && signers.size() == sizeof(DWORD) &&
           *reinterpret_cast<const DWORD*>(signers.data()) == 1;
}

// The content names a PE image whose SHA-256 digest is `digest`.
bool SignsImageDigest(const std::vector<BYTE>& content, const PeImageDigest& digest)
{
    std::vector<BYTE> decoded;
    if (!Decode(SPC_INDIRECT_DATA_CONTENT_STRUCT, content.data(), content.size(), decoded))
        return false;
    const auto* indirect = reinterpret_cast<const SPC_INDIRECT_DATA_CONTENT*>(decoded.data());
    return SameOid(indirect->Data.pszObjId, kPeImageData) &&
           SameOid(indirect->DigestAlgorithm.pszObjId, kSha256) && SameBytes(indirect->Digest, digest.sha256);
}

// The signed attributes hold one message digest, the SHA-256 of the content's value (PKCS #7
// digests the content without its tag and length).
bool MessageDigestMatches(const CRYPT_ATTRIBUTES& attributes, const std::vector<BYTE>& content)
{
    size_t header = 0;
    size_t total = 0;
    if (!DerElement(content.data(), content.size(), header, total) || total != content.size())
        return false;
    Sha256 sha256;
    sha256.Update(content.data() + header, total - header);
    const Sha256::Digest expected = sha256.Finish();
    const CRYPT_ATTRIBUTE* found = nullptr;
    for (DWORD index = 0; index < attributes.cAttr; ++index) {
        if (SameOid(attributes.rgAttr[index].pszObjId, szOID_PKCS_9_MESSAGE_DIGEST)) {
            if (found != nullptr)
                return false;
            found = &attributes.rgAttr[index];
        }
    }
    std::vector<BYTE> decoded;
    if (found == nullptr || found->cValue != 1 ||
        !Decode(X509_OCTET_STRING, found->rgValue[0].pbData, found->rgValue[0].cbData, decoded))
        return false;
    return SameBytes(*reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data()), expected);
}

// The signer certificate's chain for code signing now, revocation from the cache only.
bool BuildChain(PCCERT_CONTEXT signer, HCERTSTORE messageStore, EmbeddedChain& chain)
{
    const Crypt32Api& api = Crypt32();
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    UniqueChain context;
    if (!api.getChain(nullptr, signer, nullptr, messageStore, &parameters,
                      CERT_CHAIN_REVOCATION_CHECK_CHAIN | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY, nullptr,
                      context.Put()) ||
        context.Get()->cChain != 1)
        return false;
    const CERT_SIMPLE_CHAIN& simple = *context.Get()->rgpChain[0];
    chain.errors = context.Get()->TrustStatus.dwErrorStatus;
    return ChainKeyHashes(
        simple.cElement, [&simple](DWORD index) { return simple.rgpElement[index]->pCertContext; }, chain.keys);
}

void PrepareSignatureCheck()
{
    const Crypt32Api& api = Crypt32();
    if (!api.Complete())
        return;
    // A chain built for any root, the way the signer's will be: the chain engine, its stores and
    // the revocation providers are then ready.
    UniqueCertStore roots(api.openStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root"));
    const UniqueCertificate root(roots ? api.enumCertificates(roots.Get(), nullptr) : nullptr);
    EmbeddedChain chain;
    if (root)
        BuildChain(root.Get(), nullptr, chain);
    // The decoder of the signed content, found through crypt32's registry of decoders, and the
    // provider that verifies signatures.
    std::vector<BYTE> decoded;
    const BYTE empty[] = {0x30, 0x00};
    Decode(SPC_INDIRECT_DATA_CONTENT_STRUCT, empty, sizeof(empty), decoded);
    HCRYPTPROV provider = 0;
    if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        ::CryptReleaseContext(provider, 0);
}

DWORD WINAPI PreparationThread(void*)
{
    const std::exception_ptr failure = RunContained(&PrepareSignatureCheck);
    if (failure)
        EndRunWithReport(failure);
    return 0;
}

} // namespace

SignatureCheckPreparation::SignatureCheckPreparation(bool wanted)
{
    // What it prepares lasts for the process: one thread, for the first signed download. Without
    // the thread the check prepares itself when it runs.
    static std::atomic<bool> started{false};
    if (wanted && !started.exchange(true))
        thread_.Reset(::CreateThread(nullptr, 0, &PreparationThread, nullptr, 0, nullptr));
}

SignatureCheckPreparation::~SignatureCheckPreparation()
{
    if (thread_)
        ::WaitForSingleObject(thread_.Get(), INFINITE);
}

bool ReadEmbeddedSignature(const std::wstring& path, const PeImageDigest& digest, EmbeddedChain& chain)
{
    const Crypt32Api& api = Crypt32();
    std::vector<BYTE> table;
    const BYTE* der = nullptr;
    size_t derSize = 0;
    if (!digest.complete || !api.Complete() || !ReadCertificateTable(path, digest, table) ||
        !SignatureInTable(table, der, derSize))
        return false;
    UniqueCryptMsg message(api.msgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
    if (!message || !api.msgUpdate(message.Get(), der, static_cast<DWORD>(derSize), TRUE) ||
        !IsAuthenticodeMessage(message.Get()))
        return false;
    std::vector<BYTE> content, signerInfo;
    if (!MessageParam(message.Get(), CMSG_CONTENT_PARAM, 0, content) || !SignsImageDigest(content, digest) ||
        !MessageParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, signerInfo))
        return false;
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
    if (!SameOid(signer.HashAlgorithm.pszObjId, kSha256) || !MessageDigestMatches(signer.AuthAttrs, content))
        return false;
    UniqueCertStore store(api.openStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.Get()));
    CERT_INFO issuerAndSerial{};
    issuerAndSerial.Issuer = signer.Issuer;
    issuerAndSerial.SerialNumber = signer.SerialNumber;
    UniqueCertificate certificate(store ? api.subjectCertificate(store.Get(), kEncoding, &issuerAndSerial) : nullptr);
    if (!certificate || certificate.Get()->pCertInfo == nullptr)
        return false;
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify{};
    verify.cbSize = sizeof(verify);
    verify.dwSignerIndex = 0;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_PUBKEY;
    verify.pvSigner = &certificate.Get()->pCertInfo->SubjectPublicKeyInfo;
    return api.msgControl(message.Get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify) &&
           BuildChain(certificate.Get(), store.Get(), chain);
}

} // namespace orvanta
