// Runs the built chainer the way a package does: setup.exe beside setup.ini, started from
// another working folder, judged by its exit code, its log and the registry.
#include "ChainerPackage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace testing_support;

namespace {

// The log the chainer falls back to when the configured one cannot be written.
std::wstring FallbackLog()
{
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path)))
        return {};
    return std::wstring(path) + L"\\ORVANTA_LOGS\\setup.LOG";
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
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        ::DeleteFileW(FallbackLog().c_str());
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        ::DeleteFileW(FallbackLog().c_str());
    }

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
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"Ret", L"3010"));
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_FALSE(FileExists(package.PathOf(L"setup.LOG")));
    EXPECT_FALSE(FileExists(FallbackLog()));
    // The run ended before the inter-boot store was touched.
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"));
}

TEST_F(RunChainer, IniIsFoundThroughTheModulePathAndTheLogIsAppendedToByTheNextRun)
{
    package.WriteIni(LoggingIni({L"[GeneralOptions]", L"Options=q", L"[PREREQUISITES]", L"App1=First",
                                 L"[First]", L"SetupFile=first.exe"}));
    EXPECT_EQ(package.RunForExitCode(), 0u);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"No prerequisite must be installed."));
    EXPECT_TRUE(ContainsLine(lines, L"=====================End of Log====================="));
    EXPECT_EQ(lines.back(), L"");

    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_EQ(ReadBytes(package.LogPath()).find("\xFF\xFE", 2), std::string::npos);
    const std::wstring text = ReadUtf16File(package.LogPath());
    EXPECT_NE(text.find(L"Log >>\r\nOS Version: "), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\nCPU: "), std::wstring::npos);
    EXPECT_EQ(Count(text, L"Log >>"), 2u);
    EXPECT_EQ(Count(text, L"End of Log"), 2u);
}

TEST_F(RunChainer, WhereTheLogGoes)
{
    // A chainer named otherwise reads its own INI; a relative log path lands in the package
    // folder (the working folder changes before anything is logged); an INI without byte-order
    // mark loses its first character, so only one with a leading line break keeps its header.
    const struct {
        const wchar_t* exeName;
        std::wstring logFile;
        const wchar_t* before;
        bool withBom;
        bool logged;
    } cases[] = {
        {L"setup.x64.exe", L"chainer.log", L"", true, true},
        {L"setup.exe", L"relative.log", L"", true, true},
        {L"setup.exe", L"chainer.log", L"", false, false},
        {L"setup.exe", L"chainer.log", L"\r\n", false, true},
    };
    for (const auto& c : cases) {
        ChainerPackage other(c.exeName);
        other.WriteIniText(c.before + std::wstring(L"[PREREQ_CHAINER]\r\nLogFile=") + c.logFile + L"\r\n", c.withBom);
        EXPECT_EQ(other.RunForExitCode(), 0u);
        EXPECT_EQ(FileExists(other.PathOf(c.logFile)), c.logged) << c.exeName << " " << c.logFile;
    }
}

TEST_F(RunChainer, WithoutLogFileNothingIsCreatedAndAnUnwritableOneFallsBack)
{
    package.WriteIni({L"[GeneralOptions]", L"Options=q", L"[PREREQ_CHAINER]", L"CleanupFolders=C:\\x",
                      L"[PREREQUISITES]", L"App1=A", L"[A]", L"SetupFile=a.exe"});
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_FALSE(FileExists(package.PathOf(L"setup.LOG")));
    EXPECT_FALSE(FileExists(FallbackLog()));

    package.WriteIni({L"[PREREQ_CHAINER]", L"LogFile=C:\\orvanta-missing-folder\\deeper\\run.log"});
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_TRUE(ContainsLine(LogMessages(ReadUtf16File(FallbackLog())),
                             L"=====================End of Log====================="));
}

TEST_F(RunChainer, BrokenOrUnreadableIniFilesGiveAnEmptyConfiguration)
{
    const std::vector<std::string> contents{
        std::string(),                        // empty
        std::string("\xFF\xFE", 2),           // only the byte-order mark
        std::string("\xFF\xFE[\0P\0R\0", 7),  // odd byte count
        std::string(100000, '\xFF'),          // no line breaks at all
    };
    for (const std::string& bytes : contents) {
        ASSERT_TRUE(WriteBytes(package.IniPath(), bytes));
        EXPECT_EQ(package.RunForExitCode(), 0u) << "INI of " << bytes.size() << " bytes";
    }
    package.WriteIni(LoggingIni());
    // Held open without sharing, the file is found but cannot be opened.
    HANDLE locked = ::CreateFileW(package.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    const DWORD exitCode = package.RunForExitCode();
    ::CloseHandle(locked);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(FileExists(package.LogPath()));
}

TEST_F(RunChainer, StoredReturnCodesAreDeletedAfterANormalRun)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"RetFirst", L"3010"));
    package.WriteIni(LoggingIni({L"[GeneralOptions]", L"Options=q"}));
    EXPECT_EQ(package.RunForExitCode(), 0u);
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
