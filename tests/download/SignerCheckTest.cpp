// Signer pins: the text of a Signer value, the verdict on what WinVerifyTrust answered, and real
// programs signed at test time by a test authority (tests/support/make-signed-files.sh), whose key
// hashes openssl computed independently.
#include "download/EmbeddedSignature.h"
#include "download/FileDigests.h"
#include "download/SignerCheck.h"
#include "download/SignerPins.h"
#include "platform/ResultCodes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace orvanta;
using testing_support::EnvironmentValue;
using testing_support::ReadBytes;

namespace {

const char kLowerHex[] = "6fc8189052a7fc6767e98d0e9a0883199cd3316d62486643ece7408f0aa17c45";
const char kUpperHex[] = "DC95707F64144FA01A00140BD374DBE2B5688766A477651A20464D78553413B2";

KeyHash HashFromHex(const std::string& hex)
{
    std::vector<KeyHash> pins;
    EXPECT_TRUE(ParseSignerPins(hex, pins)) << hex;
    return pins.empty() ? KeyHash{} : pins[0];
}

std::wstring SignedFile(const wchar_t* name)
{
    return EnvironmentValue(L"ORVANTA_SIGNED_FILES") + L"\\" + name;
}

// keys.txt of the signed files: role -> key hash as openssl computed it.
std::map<std::string, KeyHash> OpensslKeys()
{
    std::istringstream lines(ReadBytes(SignedFile(L"keys.txt")));
    std::map<std::string, KeyHash> keys;
    std::string role;
    std::string hex;
    while (lines >> role >> hex)
        keys[role] = HashFromHex(hex);
    return keys;
}

} // namespace

TEST(SignerPins, ReadsHashesInEitherCaseSeparatedByCommasWithBlanksAround)
{
    std::vector<KeyHash> pins;
    ASSERT_TRUE(ParseSignerPins(std::wstring(L"6fc8189052a7fc6767e98d0e9a0883199cd3316d62486643ece7408f0aa17c45 ,\t"
                                             L"DC95707F64144FA01A00140BD374DBE2B5688766A477651A20464D78553413B2"),
                                pins));
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0][0], 0x6f);
    EXPECT_EQ(pins[0][31], 0x45);
    EXPECT_EQ(pins[1][0], 0xdc);
    EXPECT_EQ(pins[1][31], 0xb2);
    EXPECT_TRUE(IsPinned(HashFromHex(kUpperHex), pins));
    EXPECT_FALSE(IsPinned(KeyHash{}, pins));
}

TEST(SignerPins, RejectsAnythingButWholeHashes)
{
    const std::string hash = kLowerHex;
    const std::string rejected[] = {
        "", " ", ",", hash + ",", "," + hash, hash + ",," + hash, hash.substr(1), hash + "0",
        hash.substr(0, 32) + " " + hash.substr(32), hash.substr(1) + "g", hash.substr(2) + "\xC3\xA9",
        hash + ";" + hash,
    };
    for (const std::string& text : rejected) {
        std::vector<KeyHash> pins{KeyHash{}};
        EXPECT_FALSE(ParseSignerPins(text, pins)) << text;
        EXPECT_TRUE(pins.empty()) << text;
    }
    std::vector<KeyHash> pins;
    EXPECT_FALSE(ParseSignerPins(std::wstring(hash.begin(), hash.end() - 1) + L"\u0660", pins));
}

TEST(SignerVerdict, AcceptsAnUntrustedRootOnlyThroughAPinAndWithNothingElseWrong)
{
    const KeyHash pinned = HashFromHex(kLowerHex);
    const std::vector<KeyHash> pins{pinned};
    SignatureChain chain;
    chain.keys = {HashFromHex(kUpperHex), pinned};
    chain.chainErrors = CERT_TRUST_IS_UNTRUSTED_ROOT;
    struct Case {
        LONG status;
        DWORD errors;
        uint32_t verdict;
    };
    const Case cases[] = {
        {0, 0xFFFFFFFF, 0},
        {CERT_E_UNTRUSTEDROOT, CERT_TRUST_IS_UNTRUSTED_ROOT, 0},
        {CERT_E_CHAINING, CERT_TRUST_IS_PARTIAL_CHAIN, 0},
        {CERT_E_UNTRUSTEDROOT, CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_NOT_TIME_VALID, DLERR_SIGNATURE_INVALID},
        {CERT_E_UNTRUSTEDROOT, CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_NOT_VALID_FOR_USAGE,
         DLERR_SIGNATURE_INVALID},
        {CERT_E_UNTRUSTEDROOT, 0xFFFFFFFF, DLERR_SIGNATURE_INVALID},
        {static_cast<LONG>(TRUST_E_BAD_DIGEST), 0, DLERR_SIGNATURE_INVALID},
        {CERT_E_EXPIRED, 0, DLERR_SIGNATURE_INVALID},
        // Revocation that could not be checked is soft; a revoked certificate is not.
        {CERT_E_REVOCATION_FAILURE, CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION, 0},
        {CERT_E_REVOKED, CERT_TRUST_IS_REVOKED, DLERR_SIGNATURE_INVALID},
    };
    for (const Case& c : cases) {
        chain.trustStatus = c.status;
        chain.chainErrors = c.errors;
        EXPECT_EQ(SignerVerdict(chain, pins), c.verdict) << std::hex << c.status << " " << c.errors;
    }
    chain.trustStatus = CERT_E_UNTRUSTEDROOT;
    chain.chainErrors = CERT_TRUST_IS_UNTRUSTED_ROOT;
    EXPECT_EQ(SignerVerdict(chain, {HashFromHex(std::string(64, '0'))}), DLERR_SIGNER_NOT_PINNED);
    chain.trustStatus = 0;
    chain.keys.clear();
    EXPECT_EQ(SignerVerdict(chain, pins), DLERR_SIGNATURE_INVALID);
}

// The test authority's root is in no store: Windows answers CERT_E_UNTRUSTEDROOT, Wine 0 (it
// checks the digest but not the root). Either way the pins decide.
TEST(SignerCheck, ReadsTheChainsKeysAsOpensslHashesThemSignerFirst)
{
    std::map<std::string, KeyHash> keys = OpensslKeys();
    ASSERT_EQ(keys.size(), 4u);
    const SignatureChain chain = ReadSignatureChain(SignedFile(L"signed.exe"));
    EXPECT_TRUE(chain.trustStatus == 0 || chain.trustStatus == CERT_E_UNTRUSTEDROOT) << std::hex << chain.trustStatus;
    const std::vector<KeyHash> expected{keys["signer"], keys["intermediate"], keys["root"]};
    EXPECT_EQ(chain.keys, expected);
}

TEST(SignerCheck, AcceptsASignedFileWhoseChainHasAPinnedKeyAndRejectsTheRest)
{
    std::map<std::string, KeyHash> keys = OpensslKeys();
    const KeyHash unrelated = HashFromHex(kLowerHex);
    const std::wstring signedFile = SignedFile(L"signed.exe");
    for (const char* role : {"signer", "intermediate", "root"}) {
        EXPECT_EQ(CheckSigner(signedFile, {keys[role]}), 0u) << role;
        EXPECT_EQ(CheckSigner(SignedFile(L"signed32.exe"), {keys[role]}), 0u) << role;
        EXPECT_EQ(CheckSigner(signedFile, {unrelated, keys[role]}), 0u) << role;
    }
    // A certificate's own fingerprint is not its key's hash.
    EXPECT_EQ(CheckSigner(signedFile, {keys["root-certificate"], unrelated}), DLERR_SIGNER_NOT_PINNED);
    const std::vector<KeyHash> all{keys["signer"], keys["intermediate"], keys["root"]};
    EXPECT_EQ(CheckSigner(SignedFile(L"unsigned.exe"), all), DLERR_SIGNATURE_INVALID);
    EXPECT_EQ(CheckSigner(SignedFile(L"tampered.exe"), all), DLERR_SIGNATURE_INVALID);
    EXPECT_EQ(CheckSigner(SignedFile(L"missing.exe"), all), DLERR_SIGNATURE_INVALID);
    EXPECT_EQ(ReadSignatureChain(SignedFile(L"tampered.exe")).trustStatus, static_cast<LONG>(TRUST_E_BAD_DIGEST));
}

namespace {

PeImageDigest DigestOfBytes(const std::string& bytes, size_t piece)
{
    PeImageHasher hasher;
    for (size_t offset = 0; offset < bytes.size(); offset += piece)
        hasher.Update(bytes.data() + offset, std::min(piece, bytes.size() - offset));
    return hasher.Finish();
}

PeImageDigest DigestOfFile(const std::wstring& path)
{
    ContentDigests digests;
    EXPECT_EQ(ComputeFileDigests(path, false, false, digests, true), 0u);
    EXPECT_TRUE(digests.hasPeImage);
    return digests.peImage;
}

} // namespace

// The digest computed while the bytes pass by, in pieces of any size, is the one the signature
// signs: the signature is then read without WinVerifyTrust reading the file again.
TEST(EmbeddedSignature, ReadsTheSignersChainAgainstTheDigestComputedOnTheWay)
{
    std::map<std::string, KeyHash> keys = OpensslKeys();
    const std::vector<KeyHash> expected{keys["signer"], keys["intermediate"], keys["root"]};
    for (const wchar_t* name : {L"signed.exe", L"signed32.exe"}) {
        const std::wstring path = SignedFile(name);
        const std::string bytes = ReadBytes(path);
        const PeImageDigest digest = DigestOfFile(path);
        ASSERT_TRUE(digest.complete);
        EXPECT_EQ(digest.certificateOffset + digest.certificateSize, bytes.size());
        for (size_t piece : {size_t{1}, size_t{7}, size_t{64}, size_t{1000}, bytes.size()}) {
            const PeImageDigest fed = DigestOfBytes(bytes, piece);
            EXPECT_TRUE(fed.complete && fed.sha256 == digest.sha256) << piece;
        }
        EmbeddedChain chain;
        ASSERT_TRUE(ReadEmbeddedSignature(path, digest, chain));
        EXPECT_EQ(chain.keys, expected);
        EXPECT_EQ(chain.errors & ~(CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                   CERT_TRUST_IS_OFFLINE_REVOCATION),
                  0u)
            << std::hex << chain.errors;
    }
}

TEST(EmbeddedSignature, VouchesForNothingButTheSignedBytes)
{
    std::map<std::string, KeyHash> keys = OpensslKeys();
    const std::vector<KeyHash> all{keys["signer"], keys["intermediate"], keys["root"]};
    const PeImageDigest digest = DigestOfFile(SignedFile(L"signed.exe"));
    EmbeddedChain chain;
    EXPECT_FALSE(DigestOfFile(SignedFile(L"unsigned.exe")).complete);
    EXPECT_FALSE(ReadEmbeddedSignature(SignedFile(L"tampered.exe"), DigestOfFile(SignedFile(L"tampered.exe")), chain));
    EXPECT_FALSE(ReadEmbeddedSignature(SignedFile(L"other.exe"), digest, chain));
    PeImageDigest changed = digest;
    changed.sha256[31] ^= 1;
    EXPECT_FALSE(ReadEmbeddedSignature(SignedFile(L"signed.exe"), changed, chain));

    // Bytes hidden in the certificate table after the signature: its directory entry is outside
    // the digest, so only the table's own form can refuse them.
    testing_support::TempDir dir;
    std::string bytes = ReadBytes(SignedFile(L"signed.exe"));
    uint32_t peAt = 0;
    std::memcpy(&peAt, bytes.data() + 0x3C, 4);
    const size_t sizeField = peAt + 24 + 144 + 4;  // PE32+: the security entry's size
    const uint32_t grown = digest.certificateSize + 8;
    std::memcpy(&bytes[sizeField], &grown, 4);
    bytes += std::string(8, '\xAA');
    const std::wstring padded = dir / L"padded.exe";
    ASSERT_TRUE(testing_support::WriteBytes(padded, bytes));
    const PeImageDigest paddedDigest = DigestOfFile(padded);
    ASSERT_TRUE(paddedDigest.complete);
    EXPECT_EQ(paddedDigest.sha256, digest.sha256);
    EXPECT_FALSE(ReadEmbeddedSignature(padded, paddedDigest, chain));
    // The signature's last byte changed: the digests still match, the signature does not.
    std::string forged = ReadBytes(SignedFile(L"signed.exe"));
    size_t signatureEnd = forged.size();
    while (forged[signatureEnd - 1] == '\0')
        --signatureEnd;  // the table's alignment
    forged[signatureEnd - 1] ^= 1;
    const std::wstring forgedPath = dir / L"forged.exe";
    ASSERT_TRUE(testing_support::WriteBytes(forgedPath, forged));
    EXPECT_FALSE(ReadEmbeddedSignature(forgedPath, DigestOfFile(forgedPath), chain));
    EXPECT_EQ(CheckSigner(forgedPath, all), DLERR_SIGNATURE_INVALID);
    // Appended after the table.
    const std::wstring appended = dir / L"appended.exe";
    ASSERT_TRUE(testing_support::WriteBytes(appended, ReadBytes(SignedFile(L"signed.exe")) + "x"));
    EXPECT_FALSE(ReadEmbeddedSignature(appended, DigestOfFile(appended), chain));
    // Whatever this path refuses, the complete check still decides.
    EXPECT_EQ(CheckSigner(SignedFile(L"signed.exe"), all, changed), 0u);
    EXPECT_EQ(CheckSigner(SignedFile(L"tampered.exe"), all, DigestOfFile(SignedFile(L"tampered.exe"))),
              DLERR_SIGNATURE_INVALID);
    EXPECT_EQ(CheckSigner(padded, all, paddedDigest), CheckSigner(padded, all, PeImageDigest()));
}
