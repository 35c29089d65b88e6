// Where setup files and search programs lie, and the clean-up of the recorded paths.
#include "install/ExtractionContext.h"
#include "platform/UniqueResource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::FileExists;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

using Paths = std::vector<std::wstring>;

// Configured as the chainer configures it.
void SetUpAsChainer(ExtractionContext& context, const std::wstring& extractionFolder)
{
    context.SetModule(L"C:\\Package\\setup.exe", L"C:\\Package\\");
    context.Configure(extractionFolder, true);
}

// Opened without delete sharing, so that deleting the file fails until it is closed.
UniqueFile OpenWithoutDeleteSharing(const std::wstring& path)
{
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

TEST(ExtractionContext, RelativeSetupFilesLieInTheExtractionFolderProgramsAlwaysThere)
{
    ExtractionContext context;
    SetUpAsChainer(context, L"C:\\Temp\\Prod\\");
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"vcredist\\setup.exe", L"C:\\Temp\\Prod\\vcredist\\setup.exe"},
        {L"\\setup.exe", L"C:\\Temp\\Prod\\\\setup.exe"},
        {L"", L"C:\\Temp\\Prod\\"},
        {L"C:\\x\\setup.exe", L"C:\\x\\setup.exe"},
        {L"\\\\srv\\share\\setup.exe", L"\\\\srv\\share\\setup.exe"},
        {L"d:setup.exe", L"d:setup.exe"},
        {L"\\\\", L"\\\\"},
        // One-character names are always relative.
        {L"\\", L"C:\\Temp\\Prod\\\\"},
        {L":", L"C:\\Temp\\Prod\\:"},
    };
    for (const auto& [setupFile, path] : cases)
        EXPECT_EQ(context.GetPackageFilePath(setupFile), path);
    // Search programs always lie below the base folder.
    EXPECT_EQ(context.GetProgramPath(L"tools\\check.exe"), L"C:\\Temp\\Prod\\tools\\check.exe");
    // No absolute-path test for search programs.
    EXPECT_EQ(context.GetProgramPath(L"C:\\x\\check.exe"), L"C:\\Temp\\Prod\\C:\\x\\check.exe");

    // Without extraction folder both are relative to the chainer.
    SetUpAsChainer(context, L"");
    EXPECT_EQ(context.GetPackageFilePath(L"vcredist\\setup.exe"), L"C:\\Package\\vcredist\\setup.exe");
    EXPECT_EQ(context.GetProgramPath(L"check.exe"), L"C:\\Package\\check.exe");
}

TEST(ExtractionContext, DestructionDeletesListedFilesAndFoldersLastFirst)
{
    TempDir dir;
    const std::wstring outer = dir / L"outer";
    const std::wstring inner = outer + L"\\inner";
    ASSERT_TRUE(::CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(inner.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(inner + L"\\a.txt", "a"));
    ASSERT_TRUE(WriteBytes(dir / L"b.txt", "b"));
    ASSERT_TRUE(WriteBytes(dir / L"kept.txt", "k"));
    {
        ExtractionContext context;
        SetUpAsChainer(context, dir.Path() + L"\\");
        context.AddFileToDelete(inner + L"\\a.txt");
        context.AddFileToDelete(dir / L"b.txt");
        // The outer folder is listed first: it can only go after the inner one.
        context.AddFolderToDelete(outer);
        context.AddFolderToDelete(inner);
        // A context not asked to clean up deletes nothing.
        ExtractionContext keeping;
        keeping.Configure(dir.Path() + L"\\", false);
        keeping.AddFileToDelete(dir / L"kept.txt");
    }
    EXPECT_FALSE(FileExists(inner + L"\\a.txt"));
    EXPECT_FALSE(FileExists(dir / L"b.txt"));
    EXPECT_FALSE(FileExists(outer));
    EXPECT_TRUE(FileExists(dir / L"kept.txt"));
}

TEST(ExtractionContext, FailedDeletionsStayListedForALaterPass)
{
    TempDir dir;
    const std::wstring locked = dir / L"locked.txt";
    const std::wstring loose = dir / L"loose.txt";
    const std::wstring busyFolder = dir / L"busy";
    const std::wstring emptyFolder = dir / L"empty";
    ASSERT_TRUE(WriteBytes(locked, "l"));
    ASSERT_TRUE(WriteBytes(loose, "x"));
    ASSERT_TRUE(::CreateDirectoryW(busyFolder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(emptyFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(busyFolder + L"\\blocker.txt", "b"));

    ExtractionContext context;
    SetUpAsChainer(context, dir.Path() + L"\\");
    context.AddFileToDelete(locked);
    context.AddFileToDelete(loose);
    context.AddFileToDelete(dir / L"never-existed.txt");
    context.AddFolderToDelete(busyFolder);
    context.AddFolderToDelete(emptyFolder);
    context.AddFolderToDelete(dir / L"never-existed");
    {
        UniqueFile handle = OpenWithoutDeleteSharing(locked);
        ASSERT_TRUE(handle);
        EXPECT_FALSE(context.RunCleanupPass());
        EXPECT_FALSE(context.CleanupDone());
        EXPECT_EQ(context.FilesToDelete(), Paths({locked, dir / L"never-existed.txt"}));
        EXPECT_EQ(context.FoldersToDelete(), Paths({busyFolder, dir / L"never-existed"}));
        EXPECT_FALSE(FileExists(loose));
        EXPECT_FALSE(FileExists(emptyFolder));
        EXPECT_TRUE(FileExists(locked));
    }
    // Once the obstacles are gone, the remaining real paths go; missing ones keep failing.
    ASSERT_TRUE(::DeleteFileW((busyFolder + L"\\blocker.txt").c_str()));
    EXPECT_FALSE(context.RunCleanupPass());
    EXPECT_EQ(context.FilesToDelete(), Paths({dir / L"never-existed.txt"}));
    EXPECT_EQ(context.FoldersToDelete(), Paths({dir / L"never-existed"}));
    EXPECT_FALSE(FileExists(locked));
    EXPECT_FALSE(FileExists(busyFolder));
}

TEST(ExtractionContext, PathsBeyondMaxPathAreDeleted)
{
    TempDir dir;
    const std::wstring folder = dir / std::wstring(200, L'f');
    const std::wstring file = folder + L"\\" + std::wstring(120, L'n') + L".txt";
    ASSERT_GT(file.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    {
        UniqueFile created(::CreateFileW((L"\\\\?\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(created);
    }
    {
        ExtractionContext context;
        SetUpAsChainer(context, dir.Path() + L"\\");
        context.AddFileToDelete(file);
        context.AddFolderToDelete(folder);
        EXPECT_TRUE(context.RunCleanupPass());
        EXPECT_TRUE(context.CleanupDone());
    }
    EXPECT_EQ(::GetFileAttributesW((L"\\\\?\\" + folder).c_str()), INVALID_FILE_ATTRIBUTES);
}
