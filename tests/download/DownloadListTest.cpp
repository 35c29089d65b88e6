// The keep-files decision and the deletion of what the stages registered (the stage tests
// cover the usual deletion of files and of the folders they created).
#include "download/DownloadList.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::FileExists;
using testing_support::TempDir;

TEST(KeepsDownloads, MinimumAndUnknownModesDelete)
{
    EXPECT_FALSE(KeepsDownloads(KeepFilesMinimum));
    // "Complete" with a capital C loads as 0 and so deletes.
    EXPECT_FALSE(KeepsDownloads(static_cast<KeepFilesMode>(3)));
}

TEST(DownloadList, FolderThatIsNotEmptyStaysAndMissingFilesAreNoError)
{
    TempDir dir;
    const std::wstring folder = dir / L"dl";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteBytes(folder + L"\\setup.exe.part", "partial"));
    ASSERT_TRUE(testing_support::WriteBytes(folder + L"\\setup.exe", "whole"));
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
}
