#include "install/MsixDeployment.h"
#include "install/PackageLauncher.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

using namespace orvanta;

namespace {

// The documented rule is the regular expression " ?(-|/)+q"; the scan must answer as it does.
bool MatchesQuietPattern(const std::wstring& commandLine)
{
    static const std::wregex quiet(L" ?(-|/)+q", std::regex_constants::ECMAScript);
    return std::regex_search(commandLine, quiet);
}

} // namespace

TEST(QuietSwitch, ScanAnswersAsThePatternForEveryShortText)
{
    // Every text of up to five characters over the characters that matter, and some that do not.
    const std::wstring alphabet = L" -/qQx";
    std::vector<std::wstring> texts{L""};
    for (size_t begin = 0, length = 1; length <= 5; ++length) {
        const size_t end = texts.size();
        for (size_t i = begin; i < end; ++i) {
            for (const wchar_t c : alphabet)
                texts.push_back(texts[i] + c);
        }
        begin = end;
    }
    // Look-alikes of the characters that matter (full-width q and solidus, en dash) are none of them.
    texts.insert(texts.end(), {L"/norestart /quiet", L"quiet", L"--q /Q", L"/\xFF51", L"\xFF0Fq", L"\x2013q",
                               L"\"/q\"", L"a=-q"});
    size_t mismatches = 0;
    for (const std::wstring& text : texts) {
        if (IsQuietCommandLine(text) != MatchesQuietPattern(text) && ++mismatches <= 10)
            ADD_FAILURE() << "differs for \"" << std::string(text.begin(), text.end()) << "\"";
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(QuietSwitch, LongRunsOfSlashesAreScannedWithoutDeepRecursion)
{
    // A regular-expression engine recursed once per character and overflowed the stack here.
    const std::wstring slashes(100000, L'/');
    EXPECT_FALSE(IsQuietCommandLine(slashes));
    EXPECT_TRUE(IsQuietCommandLine(slashes + L"q"));
    EXPECT_TRUE(IsQuietCommandLine(std::wstring(50000, L'-') + L"q" + std::wstring(50000, L'/')));
}

TEST(LaunchKinds, MsixPackagesByExtension)
{
    EXPECT_TRUE(IsMsixPackage(L"C:\\pkg\\App.MSIXBUNDLE"));
    EXPECT_TRUE(IsMsixPackage(L"app.Appx"));
    EXPECT_FALSE(IsMsixPackage(L"app.msi"));
    EXPECT_FALSE(IsMsixPackage(L"appx"));
}

TEST(SystemUserCommand, MsiGoesThroughMsiexecOfTheSystemFolderOthersStartThemselves)
{
    wchar_t systemFolder[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(systemFolder, MAX_PATH), 0u);
    std::wstring application = L"x";
    std::wstring commandLine;
    SystemUserCommand(L"C:\\pkg\\setup.msi", L"/qn", application, commandLine);
    EXPECT_EQ(application, std::wstring(systemFolder) + L"\\msiexec.exe");
    EXPECT_EQ(commandLine, L"msiexec.exe /i \"C:\\pkg\\setup.msi\" /qn");
    SystemUserCommand(L"C:\\pkg\\SETUP.MSI", L"", application, commandLine);
    EXPECT_EQ(commandLine, L"msiexec.exe /i \"C:\\pkg\\SETUP.MSI\"");
    // A package on a share keeps the two backslashes of its network path.
    SystemUserCommand(L"\\\\?\\UNC\\srv\\share\\x.msi", L"/qn", application, commandLine);
    EXPECT_EQ(commandLine, L"msiexec.exe /i \"\\\\srv\\share\\x.msi\" /qn");
    SystemUserCommand(L"\\\\?\\C:\\pkg\\x.msi", L"", application, commandLine);
    EXPECT_EQ(commandLine, L"msiexec.exe /i \"C:\\pkg\\x.msi\"");
    // Any other file gets its quoted path and two spaces.
    SystemUserCommand(L"C:\\pkg\\setup.exe", L"/s", application, commandLine);
    EXPECT_EQ(application, L"C:\\pkg\\setup.exe");
    EXPECT_EQ(commandLine, L"\"C:\\pkg\\setup.exe\"  /s");
    SystemUserCommand(L"C:\\pkg\\setup.exe", L" /s", application, commandLine);
    EXPECT_EQ(commandLine, L"\"C:\\pkg\\setup.exe\"  /s");
}
