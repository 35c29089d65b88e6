// Every folder name the configuration may use, against what Windows (here Wine) reports.
#include "chainer/FolderProperties.h"
#include "platform/core/TempFolder.h"
#include "platform/core/Text.h"

#include "FolderTestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <utility>

using namespace orvanta;
using folder_tests::ScopedEnvironment;
using folder_tests::ShellFolderPath;

namespace {

std::wstring FolderValue(const wchar_t* name, bool use64)
{
    std::wstring value = L"untouched";
    return GetFolderProperty(name, use64, value) ? value : L"<false>";
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

} // namespace

TEST(GetFolderProperty, ShellFoldersAreTheSystemPathsWithATrailingBackslash)
{
    const std::pair<const wchar_t*, int> folders[] = {
        {L"ProgramFilesFolder", CSIDL_PROGRAM_FILES},
        {L"CommonFilesFolder", CSIDL_PROGRAM_FILES_COMMON},
        {L"DesktopFolder", CSIDL_DESKTOPDIRECTORY},
        {L"AllUsersDesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY},
        {L"AppDataFolder", CSIDL_APPDATA},
        {L"FavoritesFolder", CSIDL_FAVORITES},
        {L"StartMenuFolder", CSIDL_STARTMENU},
        {L"ProgramMenuFolder", CSIDL_PROGRAMS},
        {L"StartupFolder", CSIDL_STARTUP},
        {L"FontsFolder", CSIDL_FONTS},
        {L"LocalAppDataFolder", CSIDL_LOCAL_APPDATA},
        {L"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
        {L"ProgramFiles", CSIDL_PROGRAM_FILES},
    };
    for (const auto& folder : folders) {
        SCOPED_TRACE(folder.first);
        const std::wstring expected = ShellFolderPath(folder.second);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(FolderValue(folder.first, false), expected + L"\\");
        EXPECT_EQ(FolderValue(folder.first, true), expected + L"\\");
    }
}

TEST(GetFolderProperty, ProgramFiles64FolderPrefersProgramW6432)
{
    {
        const ScopedEnvironment variable(L"ProgramW6432", L"D:\\Programs 64");
        EXPECT_EQ(FolderValue(L"ProgramFiles64Folder", false), L"D:\\Programs 64\\");
    }
    {
        const ScopedEnvironment variable(L"ProgramW6432", L"D:\\Programs 64\\");
        EXPECT_EQ(FolderValue(L"ProgramFiles64Folder", true), L"D:\\Programs 64\\");
    }
    const ScopedEnvironment removed(L"ProgramW6432", nullptr);
    EXPECT_EQ(FolderValue(L"ProgramFiles64Folder", false), ShellFolderPath(CSIDL_PROGRAM_FILES) + L"\\");
}

TEST(GetFolderProperty, SystemFolderIsThe32BitFolderUnlessUse64)
{
    const std::wstring x86Folder = FolderValue(L"SystemFolder", false);
    const std::wstring nativeFolder = FolderValue(L"SystemFolder", true);
    EXPECT_EQ(x86Folder, ShellFolderPath(CSIDL_SYSTEMX86) + L"\\");
    EXPECT_EQ(nativeFolder, ShellFolderPath(CSIDL_SYSTEM) + L"\\");
    // This prefix is 64-bit Windows: the 32-bit system folder is SysWOW64.
    EXPECT_TRUE(EndsWith(Lower(x86Folder), L"\\syswow64\\")) << x86Folder;
    EXPECT_TRUE(EndsWith(Lower(nativeFolder), L"\\system32\\")) << nativeFolder;
}

TEST(GetFolderProperty, WindowsAndSystem32FoldersHaveNoTrailingBackslash)
{
    const std::wstring windows = folder_tests::WindowsDirectory();
    ASSERT_GE(windows.size(), 3u);
    EXPECT_EQ(FolderValue(L"WindowsFolder", false), windows);
    EXPECT_EQ(FolderValue(L"System32Folder", false), folder_tests::SystemDirectory());
    EXPECT_FALSE(EndsWith(FolderValue(L"WindowsFolder", true), L"\\"));
    EXPECT_FALSE(EndsWith(FolderValue(L"System32Folder", true), L"\\"));
    EXPECT_EQ(FolderValue(L"WindowsVolume", false), windows.substr(0, 3));
    EXPECT_EQ(FolderValue(L"WindowsVolume", false)[1], L':');
    EXPECT_EQ(FolderValue(L"WindowsVolume", false)[2], L'\\');
}

TEST(GetFolderProperty, TempFolderAndSetupExeDirEndInABackslash)
{
    EXPECT_EQ(FolderValue(L"TempFolder", false), GetTempFolder() + L"\\");

    wchar_t module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    const std::wstring path = module;
    const std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
    EXPECT_EQ(FolderValue(L"SETUPEXEDIR", false), folder);
    EXPECT_EQ(FolderValue(L"SETUPEXEDIR", true), folder);
}

TEST(GetFolderProperty, NamesAreExactAndCaseSensitive)
{
    for (const wchar_t* name : {L"", L"programfilesfolder", L"PROGRAMFILESFOLDER", L"ProgramFilesFolder ",
                                L" WindowsFolder", L"UnknownFolder", L"setupexedir", L"System", L"Windows"}) {
        std::wstring value;
        EXPECT_FALSE(GetFolderProperty(name, false, value)) << name;
    }
    std::wstring value;
    EXPECT_FALSE(GetFolderProperty(std::wstring(100000, L'F'), false, value));
}
