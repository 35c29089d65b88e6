// Runs the built chainer the way a package does: setup.exe beside setup.ini, started from
// another working folder, judged by its exit code, its log and the registry.
#include "ChainerPackage.h"
#include "TestSupport.h"
#include "platform/UniqueResource.h"
#include "run/RunLock.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <thread>
#include <vector>

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

class RunChainer : public ::testing::Test {
protected:
    void SetUp() override { ::DeleteFileW(FallbackLog().c_str()); }
    void TearDown() override { ::DeleteFileW(FallbackLog().c_str()); }

    std::vector<std::wstring> LoggingIni(const std::vector<std::wstring>& more = {}) const
    {
        std::vector<std::wstring> lines{L"[PREREQ_CHAINER]", L"LogFile=" + package.LogPath()};
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    }
    // One prerequisite: the test helper, which tells when it runs and waits for the test to end.
    std::vector<std::wstring> GatedInstallerIni(const Gate& runs, const Gate& ends) const
    {
        package.AddTestHelper(L"installer.exe");
        return LoggingIni({L"[GeneralOptions]", L"Options=q", L"ExtractionFolder=[SETUPEXEDIR]", L"[PREREQUISITES]",
                           L"App1=A", L"[A]", L"SetupFile=installer.exe", L"Options=i",
                           L"CommandLine=--signal " + runs.Name() + L" --wait " + ends.Name()});
    }

    ScratchKeys keys{{L"InterbootContext"}};
    ChainerPackage package;
};

} // namespace

TEST_F(RunChainer, MissingIniKeepsTheStoredReturnCodes)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"Ret", L"3010"));
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_FALSE(FileExists(package.PathOf(L"setup.LOG")));
    EXPECT_FALSE(FileExists(FallbackLog()));
    // The run ended before the inter-boot store was touched (a normal run deletes it:
    // tests/e2e/InstallRunTest.cpp).
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

    // Each run deletes its INI file (it has a PREREQ_CHAINER section): it is written again.
    EXPECT_FALSE(FileExists(package.IniPath()));
    package.WriteIni(LoggingIni());
    EXPECT_EQ(package.RunForExitCode(), 0u);
    EXPECT_EQ(ReadBytes(package.LogPath()).find("\xFF\xFE", 2), std::string::npos);
    // The header's and the lines' form is tests/platform/LoggerTest.cpp.
    const std::wstring text = ReadUtf16File(package.LogPath());
    EXPECT_EQ(CountOf(text, L"Log >>"), 2u);
    EXPECT_EQ(CountOf(text, L"End of Log"), 2u);
}

TEST_F(RunChainer, WhereTheLogGoesNowhereWithoutLogFileAndToTheFallbackWhenUnwritable)
{
    // A chainer named otherwise reads its own INI, and a relative log path lands in the package
    // folder (the working folder changes before anything is logged). How the INI's name and
    // text are derived is tests/platform/PathsTest.cpp.
    ChainerPackage other(L"setup.x64.exe");
    other.WriteIni({L"[PREREQ_CHAINER]", L"LogFile=relative.log"});
    EXPECT_EQ(other.RunForExitCode(), 0u);
    EXPECT_TRUE(FileExists(other.PathOf(L"relative.log")));

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
    // Short and odd byte counts are PathsTest's IniTextFromBytes rows.
    const std::vector<std::string> contents{
        std::string(),                // empty
        std::string(100000, '\xFF'),  // no line breaks at all
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

TEST_F(RunChainer, WaitsForWindowsInstallerWithoutKeepingItsMutex)
{
    const struct {
        const char* name;
        const wchar_t* access;  // the mutex's access list (SDDL); null: the default one
        bool released;          // false: its owner ends without releasing it (abandoned)
    } cases[] = {
        // A plain release is the status window's test in tests/ui/ChainerDialogsTest.cpp.
        {"abandoned", nullptr, false},
        // Everyone may wait, nobody else may release: the chainer cannot hand it back itself.
        {"released, waiters may not release", L"D:(A;;0x00100000;;;WD)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(package.LogPath().c_str());
        Gate runs(L"OrvantaTestInstallerRuns");
        Gate ends(L"OrvantaTestInstallerEnds");
        // Each run deletes its INI file (it has a PREREQ_CHAINER section).
        package.WriteIni(GatedInstallerIni(runs, ends));
        const orvanta::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const orvanta::UniqueHandle giveUp(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(ready && giveUp);

        // Wine's msiexec never creates the execution mutex: a thread of the test holds it.
        HANDLE mutex = nullptr;
        std::thread holder([&] {
            PSECURITY_DESCRIPTOR descriptor = nullptr;
            SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
            if (c.access != nullptr &&
                ::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.access, SDDL_REVISION_1, &descriptor, nullptr))
                attributes.lpSecurityDescriptor = descriptor;
            mutex = ::CreateMutexW(&attributes, TRUE, L"Global\\_MSIExecute");
            ::LocalFree(descriptor);
            ::SetEvent(ready.Get());
            ::WaitForSingleObject(giveUp.Get(), 60000);
            if (c.released)
                ::ReleaseMutex(mutex);
        });
        const orvanta::ScopeGuard joinHolder([&] {
            ::SetEvent(giveUp.Get());
            if (holder.joinable())
                holder.join();
            ::CloseHandle(mutex);
        });
        ASSERT_EQ(::WaitForSingleObject(ready.Get(), 60000), WAIT_OBJECT_0);
        ASSERT_NE(mutex, nullptr);
        if (c.access != nullptr) {
            const orvanta::UniqueHandle forReleasing(::OpenMutexW(MUTEX_MODIFY_STATE, FALSE, L"Global\\_MSIExecute"));
            EXPECT_FALSE(forReleasing) << "the access list does not keep this account from releasing";
        }

        StartedProcess chainer(L"\"" + package.ExePath() + L"\"", package.Folder());
        DWORD exitCode = 1234;
        ASSERT_TRUE(chainer.Started());
        EXPECT_FALSE(chainer.Wait(exitCode, 3000)) << "the chainer did not wait";
        EXPECT_FALSE(runs.WaitOpen(0));
        ::SetEvent(giveUp.Get());
        holder.join();

        // While the chainer's installer runs, another process (the test) can take the mutex.
        ASSERT_TRUE(runs.WaitOpen(60000)) << "the chainer did not go on";
        const DWORD taken = ::WaitForSingleObject(mutex, 0);
        EXPECT_TRUE(taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) << "the chainer keeps the mutex: " << taken;
        if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED)
            ::ReleaseMutex(mutex);
        ends.Open();
        ASSERT_TRUE(chainer.Wait(exitCode, 60000));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_TRUE(ContainsLine(package.LogLines(), L"Return code of launched file:0"));
    }
}

TEST_F(RunChainer, OneRunPerPackageASecondStartEndsWith1618AndAKilledRunBlocksNothing)
{
    const std::wstring command = L"\"" + package.ExePath() + L"\"";
    for (const bool killFirst : {false, true}) {
        SCOPED_TRACE(killFirst ? "first run killed" : "first run ends");
        Gate runs(L"OrvantaTestLockRuns");
        Gate ends(L"OrvantaTestLockEnds");
        ::DeleteFileW(package.LogPath().c_str());
        package.WriteIni(GatedInstallerIni(runs, ends));
        StartedProcess first(command, package.Folder());
        ASSERT_TRUE(runs.WaitOpen(60000)) << "the first run did not install";
        DWORD exitCode = 1234;
        if (killFirst) {
            // Its lock is left abandoned: the next start runs and installs.
            ASSERT_TRUE(::TerminateProcess(first.Handle(), 9));
            ASSERT_TRUE(first.Wait(exitCode, 60000));
            runs.Shut();
            StartedProcess next(command, package.Folder());
            ASSERT_TRUE(runs.WaitOpen(60000)) << "the next run did not install";
            ends.Open();
            ASSERT_TRUE(next.Wait(exitCode, 60000));
            EXPECT_EQ(exitCode, 0u);
            continue;
        }
        ASSERT_EQ(package.RunForExitCode(), 1618u);
        EXPECT_TRUE(ContainsLine(package.LogLines(), L"Setup is already running."));
        // Its cleanup is not its own: the INI file of the running first run is still there.
        EXPECT_TRUE(FileExists(package.IniPath()));
        ends.Open();
        ASSERT_TRUE(first.Wait(exitCode, 60000));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_TRUE(ContainsLine(package.LogLines(), L"Return code of launched file:0"));
        EXPECT_FALSE(FileExists(package.IniPath()));  // the first run's own cleanup
    }
}

TEST(RunLockName, OneNameForEverySpellingOfAPathAndAnotherForAnotherPath)
{
    const std::wstring name = orvanta::RunLockName(L"C:\\Pkg\\Setup.ini");
    EXPECT_EQ(name.rfind(L"Local\\OrvantaChainer.", 0), 0u);
    for (const wchar_t* same : {L"c:\\pkg\\SETUP.INI", L"C:/Pkg/Setup.ini", L"C:\\Pkg\\\\sub\\..\\Setup.ini",
                                L"\\\\?\\C:\\Pkg\\Setup.ini"})
        EXPECT_EQ(orvanta::RunLockName(same), name) << same;
    EXPECT_NE(orvanta::RunLockName(L"C:\\Pkg2\\Setup.ini"), name);
}
