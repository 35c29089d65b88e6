// The MD5 digest against RFC 1321's test suite and a large file of known digest, and the
// comparison with the configured MD5 text.
#include "download/DownloadVerification.h"
#include "download/FileMd5.h"
#include "download/Md5.h"
#include "platform/UniqueResource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace orvanta;
using testing_support::TempDir;

namespace {

std::string HexOf(const std::string& data, size_t pieceSize)
{
    Md5 md5;
    for (size_t offset = 0; offset < data.size(); offset += pieceSize)
        md5.Update(data.data() + offset, std::min(pieceSize, data.size() - offset));
    char hex[33];
    Md5::ToHex(md5.Finish(), hex);
    return hex;
}

std::string HexOf(const std::string& data)
{
    return HexOf(data, data.size() + 1);
}

// 20 MiB and a tail that is no whole number of read blocks; digest taken with md5sum.
std::string KnownLargeContent()
{
    const size_t size = 20 * 1024 * 1024 + 12345;
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((i * 131) + (i >> 11)) & 0xFF);
    return bytes;
}
const char kKnownLargeDigest[] = "bb076c0bceac142e4190baaf3f4bdcb4";

} // namespace

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(HexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(HexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(HexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(HexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, DigestDoesNotDependOnHowTheInputIsCut)
{
    // Lengths around the 56-byte padding limit and the 64-byte block.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string data(length, '\0');
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>(i * 7 + 3);
        for (size_t piece : {1u, 63u, 64u, 65u})
            EXPECT_EQ(HexOf(data, piece), HexOf(data)) << "length " << length << ", pieces of " << piece;
    }
}

TEST(ComputeFileMd5, LargeFileGivesItsKnownDigest)
{
    TempDir dir;
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"large.bin", KnownLargeContent()));
    char hex[33];
    ASSERT_TRUE(ComputeFileMd5(dir / L"large.bin", hex));
    EXPECT_STREQ(hex, kKnownLargeDigest);
}

TEST(ComputeFileMd5, FileOpenForWritingIsReadButMissingOrEmptyFileFails)
{
    TempDir dir;
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"open.bin", "abc"));
    orvanta::UniqueFile writer(::CreateFileW((dir / L"open.bin").c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    char hex[33] = "untouched";
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

TEST(DownloadedFileAcceptable, SizeAndDigestAreCheckedOnlyWhenGiven)
{
    TempDir dir;
    const std::wstring file = dir / L"setup.exe";
    ASSERT_TRUE(testing_support::WriteBytes(file, "abc"));
    EXPECT_TRUE(DownloadedFileAcceptable(file, 0, L""));
    EXPECT_TRUE(DownloadedFileAcceptable(file, 3, L"900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(DownloadedFileAcceptable(file, 4, L""));
    EXPECT_FALSE(DownloadedFileAcceptable(file, 3, L"0cc175b9c0f1b6a831c399e269772661"));
    EXPECT_FALSE(DownloadedFileAcceptable(dir / L"missing.exe", 0, L"900150983cd24fb0d6963f7d28e17f72"));
}
