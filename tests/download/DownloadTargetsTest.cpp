// Download target cases the rules test in tests/downloads does not cover: query text as the
// name, degenerate URLs, a bare "?name" Folder and the share and non-file URL forms.
#include "download/DownloadTargets.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(FileNameFromUrl, QueryTextCanBeTheName)
{
    EXPECT_EQ(FileNameFromUrl(L"http://h/get.php?id=7&f=tool.msi"), L"id=7&f=tool.msi");
}

TEST(FileNameFromUrl, DegenerateUrlsDoNotCrash)
{
    EXPECT_EQ(FileNameFromUrl(L""), L"");
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"://"));
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"."));
    EXPECT_NO_FATAL_FAILURE(FileNameFromUrl(L"?"));
}

TEST(TargetPathFor, EmptyFolderOrBareFileNameStaysInTheDownloadFolder)
{
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a/setup.exe", L""), L"C:\\dl\\setup.exe");
    EXPECT_EQ(TargetPathFor(L"C:\\dl", L"http://h/a/setup.exe", L"?named.exe"), L"C:\\dl\\named.exe");
}

TEST(LocalPathOfFileUrl, ShareFormAndOtherSchemes)
{
    EXPECT_EQ(LocalPathOfFileUrl(L"FILE://server/share/a.exe"), L"\\\\server\\share\\a.exe");
    EXPECT_EQ(LocalPathOfFileUrl(L"http://h/a.exe"), L"");
}
