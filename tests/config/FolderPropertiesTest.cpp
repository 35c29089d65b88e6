// Folder names the configuration may use, against what Windows (here Wine) reports.
#include "config/FolderProperties.h"
#include "config/References.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

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
        {L"AppDataFolder", CSIDL_APPDATA},
        {L"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
        {L"ProgramFiles", CSIDL_PROGRAM_FILES},
    };
    for (const auto& [name, csidl] : folders) {
        const std::wstring expected = ShellFolderPath(csidl);
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(FolderValue(name, false), expected + L"\\") << name;
        EXPECT_EQ(FolderValue(name, true), expected + L"\\") << name;
    }
}

TEST(GetFolderProperty, SystemFolderIsThe32BitFolderUnlessUse64AndProgramFiles64PrefersProgramW6432)
{
    const std::wstring x86Folder = FolderValue(L"SystemFolder", false);
    const std::wstring nativeFolder = FolderValue(L"SystemFolder", true);
    // This prefix is 64-bit Windows: the 32-bit system folder is SysWOW64.
    EXPECT_EQ(x86Folder, ShellFolderPath(CSIDL_SYSTEMX86) + L"\\");
    EXPECT_TRUE(EndsWith(Lower(x86Folder), L"\\syswow64\\")) << x86Folder;
    EXPECT_EQ(nativeFolder, ShellFolderPath(CSIDL_SYSTEM) + L"\\");

    // The trailing backslash is added only when missing.
    const std::pair<const wchar_t*, bool> programW6432[] = {{L"D:\\Programs 64", false}, {L"D:\\Programs 64\\", true}};
    for (const auto& [value, use64] : programW6432) {
        const ScopedEnvironment variable(L"ProgramW6432", value);
        EXPECT_EQ(FolderValue(L"ProgramFiles64Folder", use64), L"D:\\Programs 64\\") << value;
    }
    const ScopedEnvironment removed(L"ProgramW6432", nullptr);
    EXPECT_EQ(FolderValue(L"ProgramFiles64Folder", false), ShellFolderPath(CSIDL_PROGRAM_FILES) + L"\\");
}

TEST(GetFolderProperty, WindowsAndSystem32FoldersHaveNoTrailingBackslashTempAndSetupExeDirOne)
{
    const std::wstring windows = folder_tests::WindowsDirectory();
    ASSERT_GE(windows.size(), 3u);
    EXPECT_EQ(FolderValue(L"WindowsFolder", true), windows);
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(FolderValue(L"System32Folder", false), system);
    EXPECT_EQ(FolderValue(L"WindowsVolume", false), windows.substr(0, 3));

    EXPECT_EQ(FolderValue(L"TempFolder", false), GetTempFolder() + L"\\");
    wchar_t module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    const std::wstring path = module;
    EXPECT_EQ(FolderValue(L"SETUPEXEDIR", true), path.substr(0, path.rfind(L'\\') + 1));
}

TEST(GetFolderProperty, EveryNameOfTheReferenceSyntaxResolvesOthersNot)
{
    // orvanta-ini reports any other [name] as unknown: the two lists must be the same.
    for (const std::wstring& name : FolderPropertyNames()) {
        std::wstring value;
        EXPECT_TRUE(GetFolderProperty(name, false, value) && !value.empty()) << name;
    }

    // Names are exact and case-sensitive.
    for (const std::wstring& name : {std::wstring(), std::wstring(L"programfilesfolder"),
                                     std::wstring(L"ProgramFilesFolder "), std::wstring(L"UnknownFolder"),
                                     std::wstring(L"setupexedir"), std::wstring(100000, L'F')}) {
        std::wstring value;
        EXPECT_FALSE(GetFolderProperty(name, false, value)) << name.substr(0, 40);
    }
}

