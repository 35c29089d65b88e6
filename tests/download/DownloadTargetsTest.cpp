// Where a download lands (names from URLs, Folder forms, file: URLs), whether it is already
// present, and the deletion of what the stages registered beyond the stage tests' cases.
#include "config/Config.h"
#include "download/DownloadList.h"
#include "download/DownloadTargets.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::FileExists;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(FileNameFromUrl, NameRules)
{
    const std::wstring exact = std::wstring(37, L'b') + L".exe";  // the last 41 characters are kept
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"http://h/get.php?id=7&f=tool.msi", L"id=7&f=tool.msi"},  // query text can be the name
        // A segment without a dot takes its name from the last dot before it, else the host.
        {L"http://www.example.com/download/setup", L"www.example.com"},
        {L"http://127.0.0.1:8080/files/v1.2/setup", L"v1.2"},
        {L"http://mirror.example/go?u=ftp://other/x.msi", L"mirror.example"},
        {L"noscheme", L"noscheme"},
        // The name ends before the first forbidden character after the dot.
        {L"http://h/dl/setup.exe?version=2", L"setup.exe"},
        {L"http://h/a/b.c|d", L"b.c"},
        {L"http://h/" + exact, exact},
        {L"https://h/files/x" + exact, exact},
        // Names that would leave the folder, and degenerate URLs.
        {L"http://h/..", L""},
        {L"http://h/a/.", L""},
        {L"", L""},
    };
    for (const auto& [url, name] : cases)
        EXPECT_EQ(FileNameFromUrl(url), name) << url;
    for (const wchar_t* url : {L"://", L".", L"?"})
        EXPECT_EQ(FileNameFromUrl(url).find_first_of(L"\\/:"), std::wstring::npos) << url;
}

TEST(TargetPathFor, FolderFormsWithAndWithoutAFileName)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"", L"C:\\dl\\a.exe"},
        {L"?named.exe", L"C:\\dl\\named.exe"},
        {L"tools\\", L"C:\\dl\\tools\\a.exe"},
        {L"a\\b?", L"C:\\dl\\a\\b\\a.exe"},
        {L"s?x?y", L"C:\\dl\\s\\x?y"},  // only the first '?' separates
    };
    for (const auto& [folder, path] : cases)
        EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/x/a.exe", folder), path) << folder;
}

TEST(LocalPathOfFileUrl, DriveShareAndOtherSchemes)
{
    EXPECT_EQ(LocalPathOfFileUrl(L"file://C:/pkg/setup.exe"), L"C:\\pkg\\setup.exe");
    EXPECT_EQ(LocalPathOfFileUrl(L"FILE://server/share/a.exe"), L"\\\\server\\share\\a.exe");
    EXPECT_EQ(LocalPathOfFileUrl(L"http://h/a.exe"), L"");
}

class DownloadPresentTest : public ::testing::Test {
protected:
    void SetUp() override { config.downloadFolder = dir.Path() + L"\\"; }

    bool Present(const std::wstring& url, int32_t exactSize = 0, const std::wstring& folder = L"")
    {
        PrereqInfo prereq;
        prereq.source = url;
        prereq.sourceKind = SourceUrl;
        prereq.ExactSize = exactSize;
        prereq.Folder = folder;
        return DownloadPresent(config, prereq);
    }

    TempDir dir;
    ChainerConfig config;
};

TEST_F(DownloadPresentTest, FileUrlOrExistingFileOfTheRightSize)
{
    EXPECT_TRUE(Present(L"file:///C:/nowhere/setup.exe"));
    EXPECT_TRUE(Present(L"FILE://server/share/setup.exe"));
    ASSERT_TRUE(WriteBytes(dir / L"setup.exe", "12345"));
    EXPECT_TRUE(Present(L"http://127.0.0.1:1/setup.exe"));
    EXPECT_TRUE(Present(L"http://127.0.0.1:1/setup.exe", 5));
    EXPECT_FALSE(Present(L"http://127.0.0.1:1/setup.exe", 6));
    EXPECT_FALSE(Present(L"http://127.0.0.1:1/other.exe"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"tools").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir / L"tools\\x.exe", "1"));
    EXPECT_TRUE(Present(L"http://h/get.php?id=7", 1, L"tools?x.exe"));
    EXPECT_FALSE(Present(L"http://h/x.exe", 1));
}

TEST_F(DownloadPresentTest, FolderOrWildcardIsNoDownload)
{
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder.exe").c_str(), nullptr));
    EXPECT_FALSE(Present(L"http://h/folder.exe"));
    ASSERT_TRUE(WriteBytes(dir / L"any.exe", "1"));
    EXPECT_FALSE(Present(L"http://h/a.exe", 0, L"?*.exe"));
    EXPECT_FALSE(Present(L"http://h/dl/"));
}

TEST(DownloadList, FolderThatIsNotEmptyStaysAndMissingFilesAreNoError)
{
    TempDir dir;
    const std::wstring folder = dir / L"dl";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder + L"\\setup.exe.part", "partial"));
    ASSERT_TRUE(WriteBytes(folder + L"\\setup.exe", "whole"));
    DownloadList list;
    list.RegisterFolderForDeletion(folder);
    list.RegisterFileForDeletion(dir / L"never-existed.exe");
    list.RegisterFileForDeletion(folder + L"\\setup.exe");
    list.DeleteRegistered();
    EXPECT_FALSE(FileExists(folder + L"\\setup.exe"));
    EXPECT_TRUE(FileExists(folder + L"\\setup.exe.part"));
    EXPECT_NE(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(list.FilesToDelete().empty());
    EXPECT_TRUE(list.FoldersToDelete().empty());
    // "Complete" with a capital C loads as 0 and, like an unknown mode, deletes.
    EXPECT_FALSE(KeepsDownloads(static_cast<KeepFilesMode>(3)));
}
