// The MD5 and SHA-256 digests against their published test vectors and a large file of known
// digests (SHA-256 through the processor's SHA extensions where it has them and through the
// plain code, MD5 and SHA-256 also in one pass), the hashing while bytes stream in, and the
// comparison with the configured texts.
#include "download/DownloadVerification.h"
#include "download/FileDigests.h"
#include "download/Md5.h"
#include "download/Md5AndSha256.h"
#include "download/Sha256.h"
#include "download/StreamHasher.h"
#include "platform/UniqueResource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace orvanta;
using testing_support::TempDir;

namespace {

// Feeds `data` to `digest` in pieces of `pieceSize` (whole by default).
template <typename Digest>
Digest& Fed(Digest& digest, const std::string& data, size_t pieceSize = SIZE_MAX)
{
    for (size_t offset = 0; offset < data.size(); offset += std::min(pieceSize, data.size()))
        digest.Update(data.data() + offset, std::min(pieceSize, data.size() - offset));
    return digest;
}

std::string HexOf(const std::string& data, size_t pieceSize = SIZE_MAX)
{
    Md5 digest;
    char hex[33];
    Md5::ToHex(Fed(digest, data, pieceSize).Finish(), hex);
    return hex;
}

std::string Sha256HexOf(const std::string& data, size_t pieceSize, Sha256::Engine engine = Sha256::Engine::Fastest)
{
    Sha256 digest(engine);
    char hex[65];
    Sha256::ToHex(Fed(digest, data, pieceSize).Finish(), hex);
    return hex;
}

// Both digests of one pass, as "md5 sha256".
std::string OnePassHexOf(const std::string& data, size_t pieceSize)
{
    Md5AndSha256 digests;
    Fed(digests, data, pieceSize);
    char md5[33];
    char sha256[65];
    Md5::ToHex(digests.FinishMd5(), md5);
    Sha256::ToHex(digests.FinishSha256(), sha256);
    return std::string(md5) + " " + sha256;
}

// 20 MiB and a tail that is no whole number of read blocks; digests taken with md5sum and
// sha256sum.
std::string KnownLargeContent()
{
    const size_t size = 20 * 1024 * 1024 + 12345;
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((i * 131) + (i >> 11)) & 0xFF);
    return bytes;
}
const char kKnownLargeDigest[] = "bb076c0bceac142e4190baaf3f4bdcb4";
const char kKnownLargeSha256[] = "134486f2ea7b55c241f01b25eeda19b06c229d8215c76b8463e4a4c8d7c82de3";

ExpectedContent Expect(uint64_t size, const std::wstring& md5, const std::wstring& sha256)
{
    ExpectedContent expected;
    expected.size = size;
    expected.md5 = md5;
    expected.sha256 = sha256;
    return expected;
}

} // namespace

TEST(Md5, Rfc1321TestSuite)
{
    const struct {
        const char* message;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexOf(c.message), c.digest) << c.message;
}

TEST(Sha256, Fips180TestVectorsOnEveryEngine)
{
    if (!Sha256::Accelerated())
        std::cout << "[ NOTE     ] no SHA extensions: Fastest is the plain code here\n";
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
         "nopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        for (Sha256::Engine engine : {Sha256::Engine::Portable, Sha256::Engine::Fastest}) {
            // Whole, and in pieces that never line up with the 64-byte block.
            const int e = static_cast<int>(engine);
            EXPECT_EQ(Sha256HexOf(c.message, c.message.size() + 1, engine), c.digest) << c.message.size() << " " << e;
            EXPECT_EQ(Sha256HexOf(c.message, 37, engine), c.digest) << c.message.size() << " in pieces " << e;
        }
    }
}

TEST(Md5, DigestDoesNotDependOnHowTheInputIsCutNorOnTheEngine)
{
    // Lengths around the 56-byte padding limit and the 64-byte block, and many blocks.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u, 70001u}) {
        std::string data(length, '\0');
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>(i * 7 + 3 + (i >> 8));
        const std::string sha256 = Sha256HexOf(data, length + 1, Sha256::Engine::Portable);
        for (size_t piece : {1u, 63u, 64u, 65u, 4099u}) {
            EXPECT_EQ(HexOf(data, piece), HexOf(data)) << "length " << length << ", pieces of " << piece;
            EXPECT_EQ(Sha256HexOf(data, piece), sha256) << "SHA-256, length " << length << ", pieces of " << piece;
            EXPECT_EQ(OnePassHexOf(data, piece), HexOf(data) + " " + sha256) << "one pass, length " << length;
        }
    }
}

TEST(StreamHasher, DigestsOfAStreamFedInAnyPiecesEqualTheDirectOnes)
{
    // Past the hasher's ring several times, in pieces smaller and larger than its buffers.
    const std::string data = KnownLargeContent().substr(0, 5 * 1024 * 1024 + 77);
    const std::string md5 = HexOf(data);
    const std::string sha256 = Sha256HexOf(data, data.size(), Sha256::Engine::Portable);
    for (size_t piece : {size_t(1000), size_t(256 * 1024), size_t(700 * 1024), data.size()}) {
        for (bool swapped : {false, true}) {
            StreamHasher hasher(true, true);
            std::vector<char> buffer(piece);
            for (size_t offset = 0; offset < data.size(); offset += piece) {
                const size_t size = std::min(piece, data.size() - offset);
                if (!swapped) {
                    hasher.Feed(data.data() + offset, size);
                    continue;
                }
                // The buffer goes into the ring and comes back as another of the same size.
                std::memcpy(buffer.data(), data.data() + offset, size);
                hasher.Feed(buffer, size);
                ASSERT_EQ(buffer.size(), piece);
            }
            const ContentDigests digests = hasher.Finish();
            EXPECT_EQ(digests.size, data.size());
            EXPECT_EQ(std::string(digests.md5), md5) << piece << " " << swapped;
            EXPECT_EQ(std::string(digests.sha256), sha256) << piece << " " << swapped;
        }
    }
    StreamHasher onlySha(false, true);
    onlySha.Feed("abc", 3);
    const ContentDigests digests = onlySha.Finish();
    EXPECT_FALSE(digests.hasMd5);
    EXPECT_STREQ(digests.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // A hasher dropped before its end stops its workers (the test would hang otherwise).
    StreamHasher dropped(true, true);
    dropped.Feed(data.data(), data.size());
}

TEST(ComputeFileMd5, LargeFileOrOneOpenForWritingGivesItsDigestsMissingOrEmptyFileFails)
{
    TempDir dir;
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"large.bin", KnownLargeContent()));
    char hex[33];
    ASSERT_TRUE(ComputeFileMd5(dir / L"large.bin", hex));
    EXPECT_STREQ(hex, kKnownLargeDigest);
    ContentDigests digests;
    ASSERT_EQ(ComputeFileDigests(dir / L"large.bin", true, true, digests), 0u);
    EXPECT_EQ(digests.size, KnownLargeContent().size());
    EXPECT_STREQ(digests.md5, kKnownLargeDigest);
    EXPECT_STREQ(digests.sha256, kKnownLargeSha256);

    // A file open for writing is read; a missing or empty file fails.
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"open.bin", "abc"));
    orvanta::UniqueFile writer(::CreateFileW((dir / L"open.bin").c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    ASSERT_TRUE(ComputeFileMd5(dir / L"open.bin", hex));
    EXPECT_STREQ(hex, "900150983cd24fb0d6963f7d28e17f72");

    std::strcpy(hex, "untouched");
    EXPECT_FALSE(ComputeFileMd5(dir / L"missing.bin", hex));
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"empty.bin", ""));
    EXPECT_FALSE(ComputeFileMd5(dir / L"empty.bin", hex));
    EXPECT_FALSE(ComputeFileMd5(dir.Path(), hex));
    EXPECT_STREQ(hex, "untouched");
}

TEST(Md5Matches, ConfiguredTextIsComparedOnItsFirst32Characters)
{
    const char computed[33] = "900150983cd24fb0d6963f7d28e17f72";
    EXPECT_TRUE(Md5Matches(computed, L"900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_TRUE(Md5Matches(computed, L"900150983cd24fb0d6963f7d28e17f72 trailing text is ignored"));
    EXPECT_FALSE(Md5Matches(computed, L"900150983cd24fb0d6963f7d28e17f7"));
    EXPECT_FALSE(Md5Matches(computed, L""));
    EXPECT_FALSE(Md5Matches(computed, L" 900150983cd24fb0d6963f7d28e17f72"));
    // Only A to F fold: other letters never pass for digits.
    const char withG[33] = "g00150983cd24fb0d6963f7d28e17f72";
    EXPECT_FALSE(Md5Matches(withG, L"G00150983cd24fb0d6963f7d28e17f72"));
}

TEST(Sha256Matches, ConfiguredTextIsExactly64HexDigitsInEitherCase)
{
    const char computed[65] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_TRUE(Sha256Matches(computed, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_TRUE(Sha256Matches(computed, L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
    EXPECT_FALSE(Sha256Matches(computed, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a"));
    EXPECT_FALSE(Sha256Matches(computed, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad0"));
    EXPECT_FALSE(Sha256Matches(computed, L"ca7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_FALSE(Sha256Matches(computed, L""));
}

TEST(DownloadedFileAcceptable, SizeAndEveryGivenDigestMustMatch)
{
    TempDir dir;
    const std::wstring file = dir / L"setup.exe";
    ASSERT_TRUE(testing_support::WriteBytes(file, "abc"));
    const std::wstring md5 = L"900150983CD24FB0D6963F7D28E17F72";
    const std::wstring sha256 = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::wstring otherMd5 = L"0cc175b9c0f1b6a831c399e269772661";
    const std::wstring otherSha256 = L"ca7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const struct {
        uint64_t size;
        std::wstring md5;
        std::wstring sha256;
        bool accepted;
    } cases[] = {
        {0, L"", L"", true},
        {3, md5, L"", true},
        {3, L"", sha256, true},
        {0, md5, sha256, true},
        {4, L"", L"", false},
        {3, otherMd5, L"", false},
        {0, L"", otherSha256, false},
        {0, md5, otherSha256, false},  // both given: both must match
        {0, otherMd5, sha256, false},
    };
    for (const auto& c : cases) {
        const ExpectedContent expected = Expect(c.size, c.md5, c.sha256);
        EXPECT_EQ(DownloadedFileAcceptable(file, expected), c.accepted) << c.size << " " << c.md5.size();
        // The same verdict from digests computed while the file was written.
        StreamHasher hasher(true, true);
        hasher.Feed("abc", 3);
        EXPECT_EQ(DownloadedFileAcceptable(file, expected, hasher.Finish()), c.accepted) << c.size;
    }
    // Digests that were not computed, or of other bytes than the file holds, never pass.
    const ExpectedContent both = Expect(0, md5, sha256);
    EXPECT_FALSE(DownloadedFileAcceptable(file, both, ContentDigests()));
    StreamHasher hasher(true, true);
    hasher.Feed("abc", 3);
    ContentDigests ofOtherBytes = hasher.Finish();
    ofOtherBytes.size = 4;
    EXPECT_FALSE(DownloadedFileAcceptable(file, both, ofOtherBytes));
    EXPECT_FALSE(DownloadedFileAcceptable(dir / L"missing.exe", Expect(0, md5, L"")));
    // An empty file never passes a digest check, even with the digest of no bytes.
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"empty.exe", ""));
    EXPECT_FALSE(DownloadedFileAcceptable(dir / L"empty.exe", Expect(0, L"d41d8cd98f00b204e9800998ecf8427e", L"")));
}
