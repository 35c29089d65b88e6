// Silent runs that install real setup programs from the package: the test helper, a Windows
// Installer package, an NSIS setup program, and an MSIX package that Wine cannot deploy.
#include "ChainerPackage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

const wchar_t kRuntimeKey[] = L"Software\\OrvantaE2E";
const wchar_t kMsiProductCode[] = L"{5D0E6B41-2C7A-4E39-9B51-0E2F3C6A7D10}";
const DWORD kMinusOne = 0xFFFFFFFF;

class InstallRun : public ::testing::Test {
protected:
    ScratchKeys keys{{L"InterbootContext", kRuntimeKey}};

    using Section = IniSection;

    void WriteSilentPackage(const std::vector<Section>& sections)
    {
        package.WritePrerequisites({L"Options=q", L"ExtractionFolder=[SETUPEXEDIR]"}, sections);
    }

    // The prerequisite "Runtime": the test helper, found through the registry value it writes
    // when its command line says so; then the `more` sections.
    void WriteRuntimePackage(const std::wstring& commandLine, const std::wstring& options = L"",
                             const std::vector<Section>& more = {})
    {
        package.AddTestHelper(L"runtime-setup.exe");
        std::vector<Section> sections{{L"[Runtime]", L"SetupFile=runtime-setup.exe", L"CommandLine=" + commandLine,
                                       L"Options=" + options, L"RetValPropName=RuntimeRet", L"SearchType1=2",
                                       L"SearchString1=HKCU\\Software\\OrvantaE2E\\Runtime\\Version", L"VerMin1=1.0"}};
        sections.insert(sections.end(), more.begin(), more.end());
        WriteSilentPackage(sections);
    }

    static std::wstring InstallsRuntime(const std::wstring& exitCode)
    {
        return L"--set HKCU\\Software\\OrvantaE2E\\Runtime\\Version=1.2.0 --exit " + exitCode;
    }

    ChainerPackage package;
};

} // namespace

TEST_F(InstallRun, InstalledPrerequisiteIsFoundByTheRecheckAndByTheNextRun)
{
    WriteRuntimePackage(InstallsRuntime(L"0"), L"m");
    EXPECT_EQ(package.RunForExitCode(), 0u);

    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Starting installing prerequisites in silent mode."));
    EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + package.PathOf(L"runtime-setup.exe")));
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    EXPECT_TRUE(ContainsLine(lines, L"Search result:An acceptable version was found."));
    EXPECT_TRUE(ContainsLine(lines, L"After running prerequisites we have:  Reboot was required=false"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));

    // The next run finds it and installs nothing.
    ::DeleteFileW(package.LogPath().c_str());
    WriteRuntimePackage(L"--exit 1603", L"m");
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_TRUE(ContainsLine(package.LogLines(), L"No prerequisite must be installed."));
    EXPECT_FALSE(ContainsLine(package.LogLines(), L"Starting installing prerequisites in silent mode."));
}

TEST_F(InstallRun, MandatoryPrerequisiteStillMissingFailsTheRunUnlessItsSearchIsSkipped)
{
    // The quiet-switch test once recursed per character and overflowed the chainer's stack.
    for (const std::wstring& commandLine : {std::wstring(L"--exit 0"), std::wstring(100000, L'/')}) {
        ::DeleteFileW(package.LogPath().c_str());
        WriteRuntimePackage(commandLine, L"m");
        EXPECT_EQ(package.RunForExitCode(), 1u) << "the run did not end with its mandatory prerequisite missing";
        const auto lines = package.LogLines();
        EXPECT_TRUE(ContainsLine(lines, L"Launching file:" + package.PathOf(L"runtime-setup.exe")));
        EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
    }
    WriteRuntimePackage(L"--exit 0", L"mi");
    ::DeleteFileW(package.LogPath().c_str());
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_TRUE(ContainsLine(package.LogLines(), L"Return code of launched file:0"));
}

TEST_F(InstallRun, RebootRequiredKeepsTheReturnCodeUntilANormalRun)
{
    WriteRuntimePackage(InstallsRuntime(L"3010"));
    EXPECT_EQ(package.RunForExitCode(), kMinusOne);
    std::wstring stored;
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"RuntimeRet", stored));
    EXPECT_EQ(stored, L"3010");
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:3010"));
    EXPECT_TRUE(ContainsLine(lines, L"After running prerequisites we have:  Reboot was required=true"));

    // After the restart the prerequisite is found, nothing runs, and the store is cleared. The
    // first run deleted its INI file (it has a PREREQ_CHAINER section): the package brings it back.
    WriteRuntimePackage(InstallsRuntime(L"3010"));
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));
}

TEST_F(InstallRun, ParentInstallsAndAFailedMandatoryChildFailsTheRun)
{
    // The selection rules themselves are tests/run/PipelineTest.cpp.
    WriteRuntimePackage(InstallsRuntime(L"0"), L"",
                        {{L"[Plugin]", L"SetupFile=runtime-setup.exe", L"CommandLine=--exit 1603", L"Options=m",
                          L"ParentPrereq=Runtime", L"SearchType1=2",
                          L"SearchString1=HKCU\\Software\\OrvantaE2E\\Plugin\\Version"}});
    EXPECT_EQ(package.RunForExitCode(), 1u);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Prerequisite selected for install:Runtime"));
    EXPECT_TRUE(ContainsLine(lines, L"Prerequisite selected for install:Plugin"));
    std::wstring version;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\OrvantaE2E\\Runtime", L"Version", version));
}

TEST_F(InstallRun, WindowsInstallerPackageThroughTheShell)
{
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    package.AddBuiltPackage(L"runtime.msi");
    WriteSilentPackage({{L"[Msi Runtime]", L"SetupFile=runtime.msi", L"CommandLine=/qn", L"Options=m",
                         L"RetValPropName=MsiRet", L"SearchType1=3", std::wstring(L"SearchString1=") + kMsiProductCode,
                         L"VerMin1=3.0"}});
    const DWORD exitCode = package.RunForExitCode();
    RunProcess(std::wstring(L"msiexec /x ") + kMsiProductCode + L" /qn");
    EXPECT_EQ(exitCode, 0u);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    EXPECT_TRUE(ContainsLine(lines, L"Search result:An acceptable version was found."));
}

TEST_F(InstallRun, NsisSetupProgramWithItsExitCode)
{
    package.AddBuiltPackage(L"tool-setup.exe");
    WriteSilentPackage({{L"[Tool]", L"SetupFile=tool-setup.exe", L"CommandLine=/S /CODE=3010", L"Options=m",
                         L"RetValPropName=ToolRet", L"SearchType1=2",
                         L"SearchString1=HKCU\\Software\\OrvantaE2E\\Tool\\Version", L"VerMin1=4.0"}});
    EXPECT_EQ(package.RunForExitCode(), kMinusOne);
    EXPECT_TRUE(ContainsLine(package.LogLines(), L"Return code of launched file:3010"));
    std::wstring version;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\OrvantaE2E\\Tool", L"Version", version));
    EXPECT_EQ(version, L"4.2.0");
}

TEST_F(InstallRun, MsixPackageThatCannotBeDeployedFailsAMandatoryRunWith1627)
{
    // Wine has no package manager: its activation fails with REGDB_E_CLASSNOTREG.
    ASSERT_TRUE(WriteBytes(package.PathOf(L"App.msix"), "PK"));
    WriteSilentPackage({{L"[App]", L"SetupFile=App.msix", L"Options=m", L"RetValPropName=AppRet", L"SearchType1=2",
                         L"SearchString1=HKCU\\Software\\OrvantaE2E\\App\\Version", L"VerMin1=1.0"}});
    EXPECT_EQ(package.RunForExitCode(), 1u);
    const auto lines = package.LogLines();
    const std::vector<std::wstring> expected{
        L"Launching file:" + package.PathOf(L"App.msix"),
        L"MSIX deployment failed while activating the package manager:0x80040154",
        // Wine's text for 1627, which ends with a line break of its own.
        L"Launch failed. Error:Function failed.",
        L"",
        L"Return code of launched file:1627",
    };
    const auto launched = std::find(lines.begin(), lines.end(), expected.front());
    ASSERT_GE(lines.end() - launched, static_cast<std::ptrdiff_t>(expected.size())) << "no MSIX launch in the log";
    EXPECT_EQ(std::vector<std::wstring>(launched, launched + expected.size()), expected);
    EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
}

TEST_F(InstallRun, OverLongPathsAndUrlsFailTheirPrerequisiteWithALogLineBeforeAnythingStarts)
{
    // Refused before anything starts: Wine's shell faults on paths of about 1,000 characters, and
    // WinINet takes URLs of up to 2,083 (Wine's spends minutes on a longer one with many '/').
    package.AddTestHelper(L"runtime-setup.exe");
    std::wstring deep = package.Folder();
    while (deep.size() < 1200) {
        deep += L"\\" + std::wstring(100, L'd');
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    ASSERT_TRUE(::CopyFileW(package.PathOf(L"runtime-setup.exe").c_str(),
                            (L"\\\\?\\" + deep + L"\\runtime-setup.exe").c_str(), FALSE));
    const std::wstring tooLong =
        L"Path too long to start: " + std::to_wstring(deep.size() + 18) + L" characters, the limit is 259.";
    std::wstring missing = L"C:";
    while (missing.size() < 40000)
        missing += L"\\" + std::wstring(199, L'm');
    missing.resize(40000 - 4);
    std::wstring url = L"http://127.0.0.1:9/";
    while (url.size() < 49000)
        url += L"aaaaaaaaa/";
    url.replace(49000 - 5, std::wstring::npos, L"x.exe");

    const struct {
        const char* name;
        std::wstring extractionFolder;
        std::vector<std::wstring> keys;
        std::wstring line;
    } rows[] = {
        {"40,000-character SetupFile that does not exist", L"[SETUPEXEDIR]", {L"SetupFile=" + missing + L".exe"},
         L"Return code of launched file:2"},
        {"RunProgram search of 1,200 characters", L"[SETUPEXEDIR]",
         {L"SetupFile=runtime-setup.exe", L"SearchType2=10",
          L"SearchString2=" + deep.substr(package.Folder().size() + 1) + L"\\runtime-setup.exe",
          L"SearchCmdLine2=--exit 0", L"Operator=1"},
         tooLong},
        {"ExtractionFolder of 1,200 characters", deep, {L"SetupFile=runtime-setup.exe"}, tooLong},
        {"URL of 49,000 characters", L"[SETUPEXEDIR]", {L"Url=" + url},
         L"URL too long: 49000 characters, WinINet takes at most 2083:" + url.substr(0, 80) + L"..."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ::DeleteFileW(package.LogPath().c_str());
        Section section{L"[Long]", L"CommandLine=--exit 0", L"Options=m", L"SearchType1=2",
                        L"SearchString1=HKCU\\Software\\OrvantaE2E\\Runtime\\Version", L"VerMin1=1.0"};
        section.insert(section.end(), row.keys.begin(), row.keys.end());
        package.WritePrerequisites({L"Options=q", L"ExtractionFolder=" + row.extractionFolder}, {section});
        EXPECT_EQ(package.RunForExitCode(), 1u);
        const auto lines = package.LogLines();
        EXPECT_TRUE(ContainsLine(lines, row.line));
        EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
    }
}
