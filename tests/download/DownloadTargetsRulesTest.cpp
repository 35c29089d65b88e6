// Where a download lands, beyond the basic naming rules: names without a dot, forbidden
// characters, the length boundary, Folder forms, and whether a download is already present.
#include "config/Config.h"
#include "download/DownloadTargets.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(FileNameFromUrl, SegmentWithoutDotTakesItsNameFromTheLastDotBeforeIt)
{
    EXPECT_EQ(FileNameFromUrl(L"http://www.example.com/download/setup"), L"www.example.com");
    EXPECT_EQ(FileNameFromUrl(L"http://127.0.0.1:8080/files/v1.2/setup"), L"v1.2");
    // Without a dot before an inner URL the host name is the name.
    EXPECT_EQ(FileNameFromUrl(L"http://mirror.example/go?u=ftp://other/x.msi"), L"mirror.example");
    EXPECT_EQ(FileNameFromUrl(L"noscheme"), L"noscheme");
}

TEST(FileNameFromUrl, NameEndsBeforeTheFirstForbiddenCharacterAfterTheDot)
{
    EXPECT_EQ(FileNameFromUrl(L"http://h/dl/setup.exe?version=2"), L"setup.exe");
    EXPECT_EQ(FileNameFromUrl(L"http://h/a/b.c|d"), L"b.c");
}

TEST(FileNameFromUrl, LongSegmentKeepsItsLast41Characters)
{
    const std::wstring exact = std::wstring(37, L'b') + L".exe";
    EXPECT_EQ(FileNameFromUrl(L"http://h/" + exact), exact);
    EXPECT_EQ(FileNameFromUrl(L"https://h/files/x" + exact), exact);
}

TEST(FileNameFromUrl, NamesThatWouldLeaveTheFolderAreEmpty)
{
    EXPECT_EQ(FileNameFromUrl(L"http://h/.."), L"");
    EXPECT_EQ(FileNameFromUrl(L"http://h/a/."), L"");
}

TEST(TargetPathFor, FolderFormsWithAndWithoutAFileName)
{
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a.exe", L"tools\\"), L"C:\\dl\\tools\\a.exe");
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a.exe", L"a\\b?"), L"C:\\dl\\a\\b\\a.exe");
    // Only the first '?' separates.
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a.exe", L"s?x?y"), L"C:\\dl\\s\\x?y");
}

TEST(LocalPathOfFileUrl, DriveAfterTwoSlashesStaysADrivePath)
{
    EXPECT_EQ(LocalPathOfFileUrl(L"file://C:/pkg/setup.exe"), L"C:\\pkg\\setup.exe");
}

class DownloadPresentTest : public ::testing::Test {
protected:
    void SetUp() override { config.downloadFolder = dir.Path() + L"\\"; }

    bool Present(const std::wstring& url, int32_t exactSize = 0, const std::wstring& folder = L"")
    {
        PrereqInfo prereq;
        prereq.name = L"App";
        prereq.source = url;
        prereq.sourceKind = SourceUrl;
        prereq.ExactSize = exactSize;
        prereq.Folder = folder;
        return DownloadPresent(config, prereq);
    }

    TempDir dir;
    ChainerConfig config;
};

TEST_F(DownloadPresentTest, FileUrlNeedsNoDownload)
{
    EXPECT_TRUE(Present(L"file:///C:/nowhere/setup.exe"));
    EXPECT_TRUE(Present(L"FILE://server/share/setup.exe"));
}

TEST_F(DownloadPresentTest, ExistingFileInTheConfiguredFolderCountsWhenItsSizeIsRightOrNotGiven)
{
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
    ASSERT_TRUE(::CreateDirectoryW((dir / L"setup.exe").c_str(), nullptr));
    EXPECT_FALSE(Present(L"http://h/setup.exe"));
    ASSERT_TRUE(WriteBytes(dir / L"any.exe", "1"));
    EXPECT_FALSE(Present(L"http://h/a.exe", 0, L"?*.exe"));
    EXPECT_FALSE(Present(L"http://h/dl/"));
}
