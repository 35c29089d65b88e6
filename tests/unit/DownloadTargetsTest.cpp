#include "download/DownloadTargets.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(FileNameFromUrl, LastPathSegment)
{
    EXPECT_EQ(FileNameFromUrl(L"http://127.0.0.1/files/setup.exe"), L"setup.exe");
    EXPECT_EQ(FileNameFromUrl(L"ftp://127.0.0.1:2121/a/b/runtime.msi"), L"runtime.msi");
}

TEST(FileNameFromUrl, QueryTextCanBeTheName)
{
    EXPECT_EQ(FileNameFromUrl(L"http://h/get.php?id=7&f=tool.msi"), L"id=7&f=tool.msi");
}

TEST(FileNameFromUrl, InnerUrlIsCutOff)
{
    EXPECT_EQ(FileNameFromUrl(L"http://h/dl/get.php?u=http://other/x.msi"), L"get.php");
}

TEST(FileNameFromUrl, NameIsAtMost41Characters)
{
    const std::wstring longName = std::wstring(60, L'a') + L".exe";
    const std::wstring name = FileNameFromUrl(L"http://h/" + longName);
    EXPECT_EQ(name.size(), 41u);
    EXPECT_EQ(name, longName.substr(longName.size() - 41));
}

TEST(FileNameFromUrl, DegenerateUrlsDoNotCrash)
{
    EXPECT_EQ(FileNameFromUrl(L""), L"");
    // No file name in the URL: no name at all rather than a separator.
    EXPECT_EQ(FileNameFromUrl(L"http://h/"), L"");
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"://"));
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"."));
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"?"));
}

TEST(TargetPathFor, FolderAndFileNameParts)
{
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a/setup.exe", L""), L"C:\\dl\\setup.exe");
    EXPECT_EQ(TargetPathFor(L"C:\\dl\\", L"http://h/a/setup.exe", L"sub"), L"C:\\dl\\sub\\setup.exe");
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a/setup.exe", L"sub?named.exe"), L"C:\\dl\\sub\\named.exe");
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a/setup.exe", L"?named.exe"), L"C:\\dl\\named.exe");
}

TEST(LocalPathOfFileUrl, DriveAndShareForms)
{
    EXPECT_EQ(LocalPathOfFileUrl(L"file:///C:/x/y.msi"), L"C:\\x\\y.msi");
    EXPECT_EQ(LocalPathOfFileUrl(L"FILE://server/share/a.exe"), L"\\\\server\\share\\a.exe");
    EXPECT_EQ(LocalPathOfFileUrl(L"http://h/a.exe"), L"");
}
