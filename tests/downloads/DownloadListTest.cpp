// The keep-files decision and the deletion of what the stages registered.
#include "download/DownloadList.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::FileExists;
using testing_support::TempDir;

namespace {

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

TEST(KeepsDownloads, OnlyCompleteAndPrereqsKeepTheFiles)
{
    EXPECT_FALSE(KeepsDownloads(KeepFilesNone));
    EXPECT_FALSE(KeepsDownloads(KeepFilesMinimum));
    EXPECT_TRUE(KeepsDownloads(KeepFilesComplete));
    EXPECT_TRUE(KeepsDownloads(KeepFilesPrereqs));
    // "Complete" with a capital C loads as 0 and so deletes.
    EXPECT_FALSE(KeepsDownloads(static_cast<KeepFilesMode>(3)));
}

TEST(DownloadList, DiscardingDeletesFilesThenEmptyFoldersInnermostFirst)
{
    TempDir dir;
    const std::wstring outer = dir / L"dl";
    const std::wstring inner = outer + L"\\sub";
    ASSERT_TRUE(::CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(inner.c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteBytes(inner + L"\\a.exe", "a"));
    ASSERT_TRUE(testing_support::WriteBytes(outer + L"\\b.msi", "b"));
    {
        DownloadList list;
        list.RegisterFolderForDeletion(outer);
        list.RegisterFolderForDeletion(inner);
        list.RegisterFileForDeletion(inner + L"\\a.exe");
        list.RegisterFileForDeletion(outer + L"\\b.msi");
        list.RegisterFileForDeletion(dir / L"never-existed.exe");
    }
    EXPECT_FALSE(FileExists(inner + L"\\a.exe"));
    EXPECT_FALSE(FileExists(outer + L"\\b.msi"));
    EXPECT_FALSE(FolderExists(inner));
    EXPECT_FALSE(FolderExists(outer));
}

TEST(DownloadList, FolderThatIsNotEmptyStays)
{
    TempDir dir;
    const std::wstring folder = dir / L"dl";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteBytes(folder + L"\\setup.exe.part", "partial"));
    ASSERT_TRUE(testing_support::WriteBytes(folder + L"\\setup.exe", "whole"));
    DownloadList list;
    list.RegisterFolderForDeletion(folder);
    list.RegisterFileForDeletion(folder + L"\\setup.exe");
    list.DeleteRegistered();
    EXPECT_FALSE(FileExists(folder + L"\\setup.exe"));
    EXPECT_TRUE(FileExists(folder + L"\\setup.exe.part"));
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(list.FilesToDelete().empty());
    EXPECT_TRUE(list.FoldersToDelete().empty());
}
