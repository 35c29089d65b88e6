#include "platform/LocalSystem.h"
#include "platform/AclBuilder.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "platform/SystemLibrary.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::AllowedEntries;
using testing_support::TempDir;

namespace {

// Wine serves \\server\share from the prefix's dosdevices\unc\server\share folder: the local
// folder behind \\orvanta-srv\share, or empty outside Wine.
std::wstring WineShareFolder()
{
    std::wstring prefix = testing_support::EnvironmentValue(L"WINEPREFIX");
    if (prefix.empty() || prefix[0] != L'/')
        return {};
    for (wchar_t& c : prefix)
        c = c == L'/' ? L'\\' : c;
    return L"Z:" + prefix + L"\\dosdevices\\unc\\orvanta-srv\\share";
}

} // namespace

TEST(TempFolderAndErrorText, TempFolderIsNormalisedAndErrorTextIsTheSystemsOrANumber)
{
    const std::wstring folder = GetTempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_NE(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetTempFolder(), folder);

    const std::wstring missing = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing.empty());
    EXPECT_TRUE(EndsWith(missing, L"\r\n")) << "the system's line break is kept";
    EXPECT_EQ(GetSystemErrorText(3010), L"3010");
    EXPECT_EQ(GetSystemErrorText(0xE0000005), L"-536870907");
}

TEST(TempFolder, LocalSystemWithoutGetTempPath2UsesAPrivateSystemTemp)
{
    // Wine has no GetTempPath2W, so the Windows folder's SystemTemp is used.
    wchar_t windows[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring expected = std::wstring(windows) + L"\\SystemTemp";
    ::RemoveDirectoryW(expected.c_str());

    EXPECT_EQ(ComputeTempFolder(true), expected);
    ASSERT_NE(::GetFileAttributesW(expected.c_str()), INVALID_FILE_ATTRIBUTES);
    // Wine stores the Administrators entry under the prefix user's SID, so only the parts it
    // keeps as given are checked on the folder; the descriptor itself is checked below.
    const auto entries = testing_support::AllowedEntriesOf(expected);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count(L"S-1-5-18"), 1u);
    EXPECT_EQ(entries.count(L"S-1-1-0"), 0u);
    ::RemoveDirectoryW(expected.c_str());
}

TEST(AclBuilder, GrantsGenericAllToExactlyTheGivenTrustees)
{
    AclBuilder acl;
    EXPECT_TRUE(acl.AddEntry(L"S-1-5-18", true));
    EXPECT_TRUE(acl.AddEntry(L"S-1-5-32-544", true));
    EXPECT_FALSE(acl.AddEntry(L"not-a-sid", true));
    EXPECT_NE(acl.LastError(), 0u);
    PSECURITY_DESCRIPTOR descriptor = acl.Build();
    ASSERT_NE(descriptor, nullptr);

    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);
    EXPECT_EQ(dacl->AceCount, 2u);
    EXPECT_EQ(AllowedEntries(dacl), (std::map<std::wstring, ACCESS_MASK>{{L"S-1-5-18", GENERIC_ALL},
                                                                         {L"S-1-5-32-544", GENERIC_ALL}}));
}

TEST(TempFiles, ExtensionIsReplacedNoTmpFileIsLeftAndAFinalPathIsPrefixed)
{
    TempDir dir;
    const std::wstring withDot = CreateTempFileName(dir.Path(), L"ps", L".ps1");
    const std::wstring withoutDot = CreateTempFileName(dir.Path(), L"ps", L"ps1");
    const std::wstring plain = CreateTempFileName(dir.Path(), L"tm", L"");
    EXPECT_TRUE(EndsWith(withDot, L".ps1"));
    EXPECT_TRUE(EndsWith(withoutDot, L".ps1"));
    EXPECT_TRUE(EndsWith(plain, L".tmp"));
    EXPECT_NE(withDot, withoutDot);

    // Only the one asked for without extension is left as .tmp.
    WIN32_FIND_DATAW data;
    const UniqueFind find(::FindFirstFileW((dir.Path() + L"\\*.tmp").c_str(), &data));
    ASSERT_TRUE(find.IsValid());
    EXPECT_FALSE(::FindNextFileW(find.Get(), &data));
    EXPECT_TRUE(CreateTempFileName(dir / L"missing", L"x", L"ps1").empty());

    // An existing file's final path has the prefix; a missing file's path stays as it is.
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"f.txt", "x"));
    const std::wstring final = GetFinalPath(dir / L"f.txt");
    EXPECT_TRUE(StartsWith(final, L"\\\\?\\"));
    EXPECT_TRUE(EndsWith(final, L"f.txt"));
    EXPECT_EQ(GetFinalPath(dir / L"none.txt"), dir / L"none.txt");
}

TEST(FolderTree, CreatesAndRemovesFoldersBeyondMaxPathOnADriveAndOnAShare)
{
    TempDir dir;
    std::vector<std::wstring> tops{dir.Path()};
    const std::wstring shareFolder = WineShareFolder();  // empty outside Wine
    const std::wstring shareTop = L"\\\\orvanta-srv\\share\\tree-" + std::to_wstring(::GetCurrentProcessId());
    if (!shareFolder.empty()) {
        ASSERT_EQ(CreateFolderTree(shareFolder, true, nullptr), 0u);
        ASSERT_EQ(CreateFolderTree(shareTop, true, nullptr), 0u);
        tops.push_back(shareTop);
    }
    for (const std::wstring& top : tops) {
        std::wstring deep = top;
        while (deep.size() < 300)
            deep += L"\\abcdefghijklmnopqrstuvwxyz";
        std::vector<std::wstring> created;
        EXPECT_EQ(CreateFolderTree(deep + L"\\file.txt", false, &created), 0u) << top;
        ASSERT_FALSE(created.empty()) << top;
        EXPECT_EQ(created.back(), deep);
        EXPECT_NE(::GetFileAttributesW(MakeLongPath(deep).c_str()), INVALID_FILE_ATTRIBUTES) << top;
        EXPECT_EQ(CreateFolderTree(deep, true, nullptr), 0u) << "an existing folder is no error";

        EXPECT_TRUE(RemoveDirectoryLong(deep)) << top << " " << ::GetLastError();
        RemoveEmptyParentFolders(deep, top);
        EXPECT_EQ(::GetFileAttributesW(MakeLongPath(created.front()).c_str()), INVALID_FILE_ATTRIBUTES) << top;
        EXPECT_NE(::GetFileAttributesW(MakeLongPath(top).c_str()), INVALID_FILE_ATTRIBUTES) << "the stop folder stays";
    }
    if (tops.size() > 1) {
        EXPECT_TRUE(RemoveDirectoryLong(shareTop));
        EXPECT_EQ(::GetFileAttributesW((shareFolder + shareTop.substr(shareTop.rfind(L'\\'))).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }

    // A file in the way stops the walk; a folder that is not empty keeps the system error.
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"file", "x"));
    EXPECT_NE(CreateFolderTree(dir / L"file\\sub\\deeper", true, nullptr), 0u);
    EXPECT_FALSE(RemoveDirectoryLong(dir.Path()));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
}

TEST(SystemLibraries, LoadOnlyFromTheSystemFolderAndMissingOnesFailTheCallWithItsError)
{
    EXPECT_TRUE(LoadSystemLibrary(L"ntdll.dll").IsValid());
    EXPECT_FALSE(LoadSystemLibrary(L"orvanta-no-such.dll").IsValid());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    using GetCurrentProcessIdFn = DWORD(WINAPI*)();
    const SystemLibrary kernel(L"kernel32.dll");
    GetCurrentProcessIdFn present = nullptr;
    GetCurrentProcessIdFn absent = nullptr;
    kernel.Find("GetCurrentProcessId", present);
    kernel.Find("OrvantaNoSuchFunction", absent);
    EXPECT_EQ(kernel.Call(present, DWORD{0}), ::GetCurrentProcessId());
    ::SetLastError(0);
    EXPECT_EQ(kernel.Call(absent, DWORD{7}), 7u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    const SystemLibrary missing(L"orvanta-no-such.dll");
    GetCurrentProcessIdFn none = &::GetCurrentProcessId;
    missing.Find("GetCurrentProcessId", none);
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(none, nullptr);
    ::SetLastError(0);
    EXPECT_EQ(missing.Call(none, DWORD{7}), 7u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
