// Version resources read from the test programs (versioned.exe carries 1.2.3.4 and the product
// name "Versioned Test Program"; testhelper.exe has no version resource).
#include "detection/FileVersion.h"

#include "platform/TempFolder.h"
#include "SearchTestSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

using namespace orvanta;
using search_tests::Unversioned;
using search_tests::Versioned;

namespace {

std::wstring WindowsFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, 0, buffer)) ? buffer : L"";
}

// Files of the chainer's temporary folder whose names start as the copies' names do.
size_t CopiesLeftBehind()
{
    WIN32_FIND_DATAW data;
    const UniqueFind find(::FindFirstFileW((GetTempFolder() + L"\\shi*.tmp").c_str(), &data));
    size_t count = 0;
    if (find) {
        do
            ++count;
        while (::FindNextFileW(find.Get(), &data));
    }
    return count;
}

TEST(FileVersionTest, VersionedProgramReadsItsFixedVersionAndProductNameFailuresReportACode)
{
    uint32_t most = 0;
    uint32_t least = 0;
    ASSERT_EQ(GetFileVersion(Versioned(), most, least), 0u);
    EXPECT_EQ(most, 0x00010002u);
    EXPECT_EQ(least, 0x00030004u);

    most = least = 7;
    EXPECT_NE(GetFileVersion(Unversioned(), most, least), 0u);
    EXPECT_EQ(GetFileVersion(L"C:\\orvanta-missing-file.dll", most, least), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(most, 7u);
    EXPECT_EQ(least, 7u);

    EXPECT_EQ(GetVersionResourceString(Versioned()), L"Versioned Test Program");
    EXPECT_EQ(GetVersionResourceString(Unversioned()), L"");
    EXPECT_EQ(GetVersionResourceString(L"C:\\no\\such\\file.exe"), L"");
}

TEST(FileVersionTest, CopyBelowWindowsFolderReadsTheVersionAndLeavesNothingBehind)
{
    const std::wstring windows = WindowsFolder();
    ASSERT_FALSE(windows.empty());
    const std::wstring target = windows + L"\\orvanta-h3-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    ASSERT_TRUE(::CopyFileW(Versioned().c_str(), target.c_str(), FALSE));
    const size_t before = CopiesLeftBehind();
    uint32_t most = 0;
    uint32_t least = 0;
    const uint32_t error = ReadFileVersionThroughCopy(target, most, least);
    const size_t after = CopiesLeftBehind();
    ::DeleteFileW(target.c_str());
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(most, 0x00010002u);
    EXPECT_EQ(least, 0x00030004u);
    EXPECT_EQ(after, before);

    EXPECT_NE(ReadFileVersionThroughCopy(windows + L"\\orvanta-missing.dll", most, least), 0u);
    EXPECT_EQ(CopiesLeftBehind(), before);

    // The Windows folder prefix is exact and case-sensitive.
    EXPECT_TRUE(IsBelowWindowsFolder(L"C:\\windows\\system32\\x.dll", L"C:\\windows"));
    EXPECT_FALSE(IsBelowWindowsFolder(L"C:\\Windows\\system32\\x.dll", L"C:\\windows"));
    EXPECT_FALSE(IsBelowWindowsFolder(L"C:\\windows\\x.dll", L""));
}

TEST(DllVersionTest, MajorVersionComesFromDllGetVersionOrElseTheFileVersion)
{
    uint32_t major = 0;
    ASSERT_TRUE(GetDllVersion(Versioned(), major));
    EXPECT_EQ(major, 1u);
    // shell32 answers through DllGetVersion.
    ASSERT_TRUE(GetDllVersion(L"shell32.dll", major));
    EXPECT_GE(major, 4u);
    EXPECT_FALSE(GetDllVersion(Unversioned(), major));
    EXPECT_FALSE(GetDllVersion(L"orvanta-no-such-library.dll", major));
}

} // namespace
