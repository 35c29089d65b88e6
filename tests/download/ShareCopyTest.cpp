// file: URLs: the share copy through CopyFileExW into the ".part" file.
#include "DownloadTestSupport.h"

#include "TestSupport.h"
#include "download/InternetDownloader.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

using namespace orvanta;
using namespace download_testing;
using testing_support::FileExists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// file:///C:/dir/name for a drive path.
std::wstring FileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///" + path;
    for (wchar_t& c : url) {
        if (c == L'\\')
            c = L'/';
    }
    return url;
}

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

bool GrantsEveryone(const std::wstring& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool found = false;
    PSID everyone = nullptr;
    ::ConvertStringSidToSidW(L"S-1-1-0", &everyone);
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (::GetAce(dacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            if (::EqualSid(&allowed->SidStart, everyone))
                found = true;
        }
    }
    ::LocalFree(everyone);
    ::LocalFree(descriptor);
    return found;
}

} // namespace

TEST(ShareCopy, FileUrlIsCopiedWithProgressAndNoPartFileLeft)
{
    TempDir source;
    TempDir dir;
    const std::string content = Pattern(300007);
    ASSERT_TRUE(WriteBytes(source / L"pkg.msi", content));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetExpectedSize(static_cast<uint32_t>(content.size()));
    const std::wstring target = dir / L"copies\\pkg.msi";
    ASSERT_EQ(downloader.Download(FileUrl(source / L"pkg.msi"), target), 0u);
    EXPECT_EQ(ReadBytes(target), content);
    EXPECT_FALSE(FileExists(target + L".part"));
    EXPECT_EQ(sink.progress.load(), content.size());
    EXPECT_EQ(sink.transfersCompleted.load(), 1);
    EXPECT_TRUE(sink.Errors().empty());
}

TEST(ShareCopy, NeverResumesAStalePartFile)
{
    TempDir source;
    TempDir dir;
    const std::string content = Pattern(50000);
    ASSERT_TRUE(WriteBytes(source / L"a.exe", content));
    const std::wstring target = dir / L"a.exe";
    ASSERT_TRUE(WriteBytes(target + L".part", std::string(20000, 'k')));
    InternetDownloader downloader(nullptr, nullptr);
    ASSERT_EQ(downloader.Download(FileUrl(source / L"a.exe"), target), 0u);
    EXPECT_EQ(ReadBytes(target), content);
}

TEST(ShareCopy, MissingSourceFailsWithTheSystemError)
{
    TempDir dir;
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    EXPECT_EQ(downloader.Download(FileUrl(dir / L"missing.exe"), dir / L"out.exe"), 2u);
    ASSERT_EQ(sink.Errors().size(), 1u);
    EXPECT_EQ(sink.Errors()[0].text, L"out.exe");
    EXPECT_FALSE(FileExists(dir / L"out.exe"));
}

TEST(ShareCopy, WildcardInThePathMatchesNoOtherFile)
{
    TempDir source;
    TempDir dir;
    ASSERT_TRUE(WriteBytes(source / L"real.exe", "x"));
    InternetDownloader downloader(nullptr, nullptr);
    EXPECT_NE(downloader.Download(FileUrl(source / L"*.exe"), dir / L"out.exe"), 0u);
    EXPECT_FALSE(FileExists(dir / L"out.exe"));
}

TEST(ShareCopy, SourceSizeOtherThanTheExpectedSizeFails)
{
    TempDir source;
    TempDir dir;
    ASSERT_TRUE(WriteBytes(source / L"a.exe", Pattern(1000)));
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetExpectedSize(999);
    EXPECT_EQ(downloader.Download(FileUrl(source / L"a.exe"), dir / L"a.exe"), DLERR_SIZE_MISMATCH);
    EXPECT_FALSE(FileExists(dir / L"a.exe"));
    ASSERT_EQ(sink.Errors().size(), 1u);
}

TEST(ShareCopy, UnchangedSourceIsNotModifiedSinceAGivenTime)
{
    TempDir source;
    TempDir dir;
    ASSERT_TRUE(WriteBytes(source / L"a.exe", Pattern(100)));
    SYSTEMTIME future{};
    ::GetSystemTime(&future);
    future.wYear = static_cast<WORD>(future.wYear + 1);
    RecordingSink sink;
    InternetDownloader downloader(&sink, nullptr);
    downloader.SetIfModifiedSince(future);
    EXPECT_EQ(downloader.Download(FileUrl(source / L"a.exe"), dir / L"a.exe"), DLERR_NOT_MODIFIED);
    EXPECT_TRUE(sink.Errors().empty());
    EXPECT_NE(downloader.GetLastModified().wYear, 0);

    SYSTEMTIME past = future;
    past.wYear = static_cast<WORD>(past.wYear - 3);
    downloader.SetIfModifiedSince(past);
    EXPECT_EQ(downloader.Download(FileUrl(source / L"a.exe"), dir / L"a.exe"), 0u);
}

TEST(ShareCopy, GrantAccessToEveryoneGivesTheFileAnEveryoneEntry)
{
    TempDir source;
    TempDir dir;
    ASSERT_TRUE(WriteBytes(source / L"a.exe", Pattern(100)));
    InternetDownloader downloader(nullptr, nullptr);
    downloader.SetGrantAccessToEveryone(true);
    ASSERT_EQ(downloader.Download(FileUrl(source / L"a.exe"), dir / L"a.exe"), 0u);
    EXPECT_EQ(ReadBytes(dir / L"a.exe"), Pattern(100));
    EXPECT_TRUE(GrantsEveryone(dir / L"a.exe"));
}
