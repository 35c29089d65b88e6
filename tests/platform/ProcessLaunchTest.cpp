// The waiting starts with real child processes: the test helper, scripts written by the test,
// a crashing program and a missing file. Every child ends by itself.
#include "ChildProcesses.h"
#include "TestSupport.h"

#include "platform/ProcessLaunch.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace install_tests;
using testing_support::TempDir;

namespace {

uint32_t RunHelper(const std::wstring& arguments)
{
    uint32_t exitCode = 0xBADBAD;
    EXPECT_TRUE(RunProcessAndWait(TestHelperPath(), HelperCommandLine(arguments), NORMAL_PRIORITY_CLASS, &exitCode));
    return exitCode;
}

uint32_t ShellHelper(const std::wstring& arguments)
{
    uint32_t exitCode = 0xBADBAD;
    EXPECT_TRUE(ShellExecuteAndWait(TestHelperPath(), arguments, L"", true, &exitCode));
    return exitCode;
}

// Writes a script that stores the folder it runs in ("%CD%") into the file named by its argument.
bool WriteFolderScript(const std::wstring& path)
{
    return testing_support::WriteBytes(path, "@echo %CD%> \"%~1\"\r\n");
}

std::string FirstLine(const std::wstring& path)
{
    const std::string text = testing_support::ReadBytes(path);
    return text.substr(0, text.find_first_of("\r\n"));
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const std::wstring& folder)
    {
        wchar_t buffer[MAX_PATH];
        saved_.assign(buffer, ::GetCurrentDirectoryW(MAX_PATH, buffer));
        ::SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolderScope() { ::SetCurrentDirectoryW(saved_.c_str()); }

private:
    std::wstring saved_;
};

} // namespace

TEST(ProcessLaunch, BothWaitingStartsPassExitCodesAndFaultCodesThroughExactly)
{
    const std::pair<const wchar_t*, uint32_t> cases[] = {
        {L"--exit 3010", 3010u}, {L"--exit 0xFFFFFFFF", 0xFFFFFFFFu}, {L"--crash", 0xC0000005u}};
    for (const auto& [arguments, code] : cases) {
        EXPECT_EQ(RunHelper(arguments), code) << arguments;
        EXPECT_EQ(ShellHelper(arguments), code) << arguments;
    }
    EXPECT_TRUE(ShellExecuteAndWait(TestHelperPath(), L"--exit 1", L"", true, nullptr));
}

TEST(RunProcessAndWait, ChildGetsCommandLineAndCurrentFolderAndFailedStartsGiveTheSystemError)
{
    TempDir temp;
    const std::wstring report = temp / L"report.txt";
    CurrentFolderScope folder(temp.Path());
    EXPECT_EQ(RunHelper(L"--report \"" + report + L"\" --exit 4"), 4u);
    const auto values = ReadReport(report);
    EXPECT_EQ(values.at(L"cmdline"), HelperCommandLine(L"--report \"" + report + L"\" --exit 4"));
    EXPECT_EQ(values.at(L"cwd"), temp.Path());

    // An empty application lets the system search the path; a failed start gives the system error.
    uint32_t exitCode = 0;
    EXPECT_TRUE(RunProcessAndWait(L"", L"cmd.exe /c exit 5", NORMAL_PRIORITY_CLASS, &exitCode));
    EXPECT_EQ(exitCode, 5u);
    EXPECT_TRUE(RunProcessAndWait(TestHelperPath(), L"", NORMAL_PRIORITY_CLASS, nullptr));
    EXPECT_FALSE(RunProcessAndWait(L"C:\\no-such-folder\\setup.exe", L"", NORMAL_PRIORITY_CLASS, &exitCode));
    EXPECT_EQ(exitCode, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    exitCode = 0;
    EXPECT_FALSE(RunProcessAndWait(L"", L"", NORMAL_PRIORITY_CLASS, &exitCode));
    EXPECT_NE(exitCode, 0u);
}

TEST(ShellExecuteAndWait, RunsScriptsFailsForMissingFilesAndHidesTheWindowOnlyWhenQuiet)
{
    TempDir temp;
    const std::wstring script = temp / L"setup.bat";
    ASSERT_TRUE(testing_support::WriteBytes(script, "@echo off\r\nexit /b 7\r\n"));
    uint32_t exitCode = 0;
    EXPECT_TRUE(ShellExecuteAndWait(script, L"", L"", true, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    EXPECT_FALSE(ShellExecuteAndWait(temp / L"missing.exe", L"/q", L"", true, &exitCode));
    EXPECT_EQ(exitCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));

    for (const bool quiet : {true, false}) {
        const std::wstring report = temp / L"report.txt";
        EXPECT_TRUE(ShellExecuteAndWait(TestHelperPath(), L"--report \"" + report + L"\"", L"", quiet, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(ReportedNumber(ReadReport(report), L"show"), static_cast<uint32_t>(quiet ? SW_HIDE : SW_SHOWNORMAL));
    }
}

TEST(ShellExecuteAndWait, WorkingFolderIsTheFilesOwnTheRootOfADriveOrTheGivenOneWithoutLongPathPrefixes)
{
    TempDir temp;
    TempDir other;
    const std::wstring script = temp / L"where.cmd";
    const std::wstring output = temp / L"where.txt";
    ASSERT_TRUE(WriteFolderScript(script));
    uint32_t exitCode = 1;
    EXPECT_TRUE(ShellExecuteAndWait(L"\\\\?\\" + script, L"\"" + output + L"\"", L"", true, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FirstLine(output), Narrow(temp.Path()));
    EXPECT_TRUE(ShellExecuteAndWait(script, L"\"" + output + L"\"", L"\\\\?\\" + other.Path(), true, nullptr));
    EXPECT_EQ(FirstLine(output), Narrow(other.Path()));

    // A file at a drive root runs in the root: a bare "C:" would be the drive's current folder
    // (here the temporary folder).
    const std::wstring atRoot = L"C:\\orvanta-install-test-" + std::to_wstring(::GetCurrentProcessId()) + L".cmd";
    ASSERT_TRUE(WriteFolderScript(atRoot));
    const ScopeGuard removeScript([&] { ::DeleteFileW(atRoot.c_str()); });
    CurrentFolderScope folder(temp.Path());
    EXPECT_TRUE(ShellExecuteAndWait(L"\\\\?\\" + atRoot, L"\"" + output + L"\"", L"", true, nullptr));
    EXPECT_EQ(FirstLine(output), "C:\\");
}
