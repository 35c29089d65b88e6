// Runs the built chainer the way a package does: setup.exe beside setup.ini, started from
// another working folder, judged by its exit code, its log and the registry.
#include "ChainerPackage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <thread>

using namespace testing_support;

namespace {


std::wstring CommonLogFolderFile(const std::wstring& name)
{
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path)))
        return {};
    return std::wstring(path) + L"\\ORVANTA_LOGS\\" + name;
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class RunChainer : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext"); }
    void TearDown() override { DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext"); }

    std::vector<std::wstring> LoggingIni(const std::vector<std::wstring>& more = {}) const
    {
        std::vector<std::wstring> lines{L"[PREREQ_CHAINER]", L"LogFile=" + package.LogPath()};
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    }

    ChainerPackage package;
};

} // namespace

TEST_F(RunChainer, MissingIniEndsWithZeroAndWritesNothing)
{
    const std::wstring fallback = CommonLogFolderFile(L"setup.LOG");
    ::DeleteFileW(fallback.c_str());
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"Ret", L"3010"));

    const ProcessResult result = package.Run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(FileExists(package.PathOf(L"setup.LOG")));
    EXPECT_FALSE(FileExists(fallback));
    // The run ended before the inter-boot store was touched.
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));
}

TEST_F(RunChainer, IniIsFoundThroughTheModulePathAndLogged)
{
    package.WriteIni(LoggingIni({L"[GeneralOptions]", L"Options=q", L"[PREREQUISITES]", L"App1=First",
                                 L"[First]", L"SetupFile=first.exe"}));
    const ProcessResult result = package.Run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);

    const std::wstring log = ReadUtf16File(package.LogPath());
    EXPECT_NE(log.find(L"Log >>\r\nOS Version: "), std::wstring::npos);
    EXPECT_NE(log.find(L"\r\nCPU: "), std::wstring::npos);
    const auto lines = LogMessages(log);
    EXPECT_TRUE(ContainsLine(lines, L"No prerequisite must be installed."));
    EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
    EXPECT_EQ(lines.back(), L"");
}

TEST_F(RunChainer, ChainerNamedDifferentlyReadsItsOwnIni)
{
    ChainerPackage other(L"setup.x64.exe");
    other.WriteIni({L"[PREREQ_CHAINER]", L"LogFile=" + other.LogPath()});
    ASSERT_TRUE(other.Run().finished);
    EXPECT_TRUE(FileExists(other.LogPath()));
}

TEST_F(RunChainer, RelativeLogPathLandsInThePackageFolder)
{
    // The working folder becomes the chainer's own folder before anything is logged.
    package.WriteIni({L"[PREREQ_CHAINER]", L"LogFile=relative.log", L"[PREREQUISITES]", L"App1=A", L"[A]",
                      L"SetupFile=a.exe"});
    ASSERT_TRUE(package.Run().finished);
    EXPECT_TRUE(FileExists(package.PathOf(L"relative.log")));
}

TEST_F(RunChainer, SecondRunAppendsToTheLog)
{
    // Each run deletes its INI file (it has a PREREQ_CHAINER section): it is written again.
    package.WriteIni(LoggingIni());
    ASSERT_TRUE(package.Run().finished);
    EXPECT_FALSE(FileExists(package.IniPath()));
    package.WriteIni(LoggingIni());
    ASSERT_TRUE(package.Run().finished);
    const std::string bytes = ReadBytes(package.LogPath());
    EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos);
    const std::wstring text = ReadUtf16File(package.LogPath());
    EXPECT_EQ(Count(text, L"Log >>"), 2u);
    EXPECT_EQ(Count(text, L"End of Log"), 2u);
}

TEST_F(RunChainer, WithoutLogFileNothingIsCreated)
{
    const std::wstring fallback = CommonLogFolderFile(L"setup.LOG");
    ::DeleteFileW(fallback.c_str());
    package.WriteIni({L"[GeneralOptions]", L"Options=q", L"[PREREQ_CHAINER]", L"CleanupFolders=C:\\x",
                      L"[PREREQUISITES]", L"App1=A", L"[A]", L"SetupFile=a.exe"});
    const ProcessResult result = package.Run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(FileExists(package.PathOf(L"setup.LOG")));
    EXPECT_FALSE(FileExists(fallback));
}

TEST_F(RunChainer, UnwritableLogPathFallsBackToTheCommonLogFolder)
{
    const std::wstring fallback = CommonLogFolderFile(L"setup.LOG");
    ::DeleteFileW(fallback.c_str());
    package.WriteIni({L"[PREREQ_CHAINER]", L"LogFile=C:\\orvanta-missing-folder\\deeper\\run.log"});
    ASSERT_TRUE(package.Run().finished);
    const auto lines = LogMessages(ReadUtf16File(fallback));
    EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
    ::DeleteFileW(fallback.c_str());
}

TEST_F(RunChainer, IniWithoutByteOrderMarkLosesItsFirstCharacter)
{
    // "[PREREQ_CHAINER]" loses its "[" and is no header: no log.
    package.WriteIniText(L"[PREREQ_CHAINER]\r\nLogFile=" + package.LogPath() + L"\r\n", false);
    ASSERT_TRUE(package.Run().finished);
    EXPECT_FALSE(FileExists(package.LogPath()));

    // With a leading line break only the CR is lost and the section is read.
    package.WriteIniText(L"\r\n[PREREQ_CHAINER]\r\nLogFile=" + package.LogPath() + L"\r\n", false);
    ASSERT_TRUE(package.Run().finished);
    EXPECT_TRUE(FileExists(package.LogPath()));
}

TEST_F(RunChainer, BrokenIniFilesGiveAnEmptyConfiguration)
{
    const std::vector<std::string> contents{
        std::string(),                                  // empty
        std::string("\xFF\xFE", 2),                     // only the byte-order mark
        std::string("\xFF\xFE[\0P\0R\0", 7),            // odd byte count
        std::string(100000, '\xFF'),                    // no line breaks at all
    };
    for (const std::string& bytes : contents) {
        ASSERT_TRUE(WriteBytes(package.IniPath(), bytes));
        const ProcessResult result = package.Run();
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u) << "INI of " << bytes.size() << " bytes";
    }
}

TEST_F(RunChainer, UnreadableIniGivesAnEmptyConfiguration)
{
    package.WriteIni(LoggingIni());
    // Held open without sharing, the file is found but cannot be opened.
    HANDLE locked = ::CreateFileW(package.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    const ProcessResult result = package.Run();
    ::CloseHandle(locked);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(FileExists(package.LogPath()));
}

TEST_F(RunChainer, StoredReturnCodesAreDeletedAfterANormalRun)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"RetFirst", L"3010"));
    package.WriteIni(LoggingIni({L"[GeneralOptions]", L"Options=q"}));
    const ProcessResult result = package.Run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));
}

TEST_F(RunChainer, WaitsWhileWindowsInstallerRuns)
{
    package.WriteIni(LoggingIni({L"[GeneralOptions]", L"Options=q", L"[PREREQUISITES]", L"App1=A", L"[A]",
                                 L"SetupFile=a.exe"}));
    // Wine's msiexec never creates the execution mutex: the test holds it itself.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute");
    ASSERT_NE(mutex, nullptr);

    std::wstring commandLine = L"\"" + package.ExePath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process));
    const DWORD whileHeld = ::WaitForSingleObject(process.hProcess, 3000);
    const bool logBeforeRelease = FileExists(package.LogPath()) &&
                                  ContainsLine(package.LogLines(), L"No prerequisite must be installed.");
    ::ReleaseMutex(mutex);
    const DWORD afterRelease = ::WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 1234;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    if (afterRelease != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    ::CloseHandle(mutex);

    EXPECT_EQ(whileHeld, static_cast<DWORD>(WAIT_TIMEOUT)) << "the chainer did not wait for the mutex";
    EXPECT_FALSE(logBeforeRelease);
    EXPECT_EQ(afterRelease, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(ContainsLine(package.LogLines(), L"No prerequisite must be installed."));
}
