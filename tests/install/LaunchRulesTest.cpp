#include "install/MsixDeployment.h"
#include "install/PackageLauncher.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace orvanta;

TEST(QuietSwitch, DashOrSlashThenLowerCaseQ)
{
    EXPECT_TRUE(IsQuietCommandLine(L"/q"));
    EXPECT_TRUE(IsQuietCommandLine(L"-q"));
    EXPECT_TRUE(IsQuietCommandLine(L"--q"));
    EXPECT_TRUE(IsQuietCommandLine(L"/norestart /quiet"));
    EXPECT_FALSE(IsQuietCommandLine(L"/Q"));
    EXPECT_FALSE(IsQuietCommandLine(L""));
    EXPECT_FALSE(IsQuietCommandLine(L"quiet"));
}

TEST(RebootModes, FromOptionLetters)
{
    EXPECT_EQ(RebootModeFromOptions(L""), RebootNever);
    EXPECT_EQ(RebootModeFromOptions(L"R"), RebootNever);
    EXPECT_EQ(RebootModeFromOptions(L"mr"), RebootAfterSuccess);
    EXPECT_EQ(RebootModeFromOptions(L"Rr"), RebootWhenFoundInstalled);
}

TEST(SystemUserCommand, MsiGoesThroughMsiexecOfTheSystemFolder)
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
}

TEST(SystemUserCommand, ExecutableGetsItsQuotedPathAndTwoSpaces)
{
    std::wstring application;
    std::wstring commandLine;
    SystemUserCommand(L"C:\\pkg\\setup.exe", L"/s", application, commandLine);
    EXPECT_EQ(application, L"C:\\pkg\\setup.exe");
    EXPECT_EQ(commandLine, L"\"C:\\pkg\\setup.exe\"  /s");
    SystemUserCommand(L"C:\\pkg\\setup.exe", L" /s", application, commandLine);
    EXPECT_EQ(commandLine, L"\"C:\\pkg\\setup.exe\"  /s");
}

TEST(MsixPackages, RecognisedByExtension)
{
    EXPECT_TRUE(IsMsixPackage(L"C:\\pkg\\App.MSIXBUNDLE"));
    EXPECT_TRUE(IsMsixPackage(L"app.Appx"));
    EXPECT_FALSE(IsMsixPackage(L"app.msi"));
    EXPECT_FALSE(IsMsixPackage(L"appx"));
}
