#include "config/Config.h"
#include "install/InterbootStore.h"
#include "install/PackageLauncher.h"
#include "platform/Logger.h"
#include "platform/ProcessLaunch.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>

using namespace orvanta;
using testing_support::ContainsLine;
using testing_support::TempDir;

namespace {

const char kStoreKey[] = "OrvantaTestLauncherStore";
const wchar_t kStoreKeyW[] = L"OrvantaTestLauncherStore";

// What the fake reboot saw; nothing here ever restarts the machine.
struct RebootRecord {
    int asked = 0;
    int restarted = 0;
    int answer = IDYES;
} g_reboot;

const RebootActions kFakeReboot{
    [] {
        ++g_reboot.asked;
        return g_reboot.answer;
    },
    [] {
        ++g_reboot.restarted;
        return true;
    },
};

struct FixedDecision final : RebootDecision {
    bool InstalledAfterRun(int32_t index) override
    {
        asked.push_back(index);
        return answer;
    }
    bool answer = false;
    std::vector<int32_t> asked;
};

class PackageLauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_reboot = RebootRecord();
        testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kStoreKeyW);
        helper = testing_support::EnvironmentValue(L"ORVANTA_TESTHELPER");
        ASSERT_FALSE(helper.empty());
    }
    void TearDown() override
    {
        testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kStoreKeyW);
    }

    void AddHelper(const std::wstring& arguments, RebootMode mode = RebootNever, const std::wstring& property = L"Ret")
    {
        launcher.AddLaunchItem(helper, arguments, L"Helper", mode, 0, property);
    }

    int32_t Stored(const std::wstring& name)
    {
        int32_t value = 12345;
        store.GetNumber(name, value);
        return value;
    }

    testing_support::LogCapture log;
    TempDir dir;
    std::wstring helper;
    ChainerConfig config;
    InterbootStore store{kStoreKey};
    FixedDecision decision;
    InstallServices services{kFakeReboot};
    PackageLauncher launcher{&store, &decision, services};
};

} // namespace

TEST_F(PackageLauncherTest, ExitCodeAndRebootModeDecideTheOutcome)
{
    const struct {
        const wchar_t* arguments;
        RebootMode mode;
        int answer;  // to the restart question of a run with a window
        bool silent;
        PackageLauncher::RunResult result;
        int32_t stored;
        bool rebootNeeded, asked, restarted;
    } cases[] = {
        {L"--exit 0", RebootNever, IDYES, true, PackageLauncher::RunDone, 0, false, false, false},
        // A failure never reboots; a crash is a failure with its status.
        {L"--exit 1603", RebootAfterSuccess, IDYES, true, PackageLauncher::RunFailed, 1603, false, false, false},
        {L"--crash", RebootNever, IDYES, true, PackageLauncher::RunFailed, -1073741819, false, false, false},
        // 3010 without a policy only notes the reboot; the policy restarts, silently without asking.
        {L"--exit 3010", RebootNever, IDYES, true, PackageLauncher::RunRebootPending, 3010, true, false, false},
        {L"--exit 0", RebootAfterSuccess, IDYES, true, PackageLauncher::RunRebootPending, 0, false, false, true},
        {L"--exit 0", RebootAfterSuccess, IDNO, false, PackageLauncher::RunRebootPending, 0, true, true, false},
        // Only Yes restarts: a question that could not be shown (0) is no Yes.
        {L"--exit 0", RebootAfterSuccess, 0, false, PackageLauncher::RunRebootPending, 0, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.arguments << " mode " << c.mode << " answer " << c.answer);
        g_reboot = RebootRecord();
        g_reboot.answer = c.answer;
        PackageLauncher one{&store, &decision, services};
        one.AddLaunchItem(helper, c.arguments, L"Helper", c.mode, 0, L"Ret");
        EXPECT_EQ(one.RunLaunchItem(0, c.silent), c.result);
        EXPECT_EQ(Stored(L"Ret"), c.stored);
        EXPECT_EQ(one.Items()[0].returnCode, static_cast<uint32_t>(c.stored));
        EXPECT_EQ(one.RebootNeeded(), c.rebootNeeded);
        EXPECT_EQ(g_reboot.asked, c.asked ? 1 : 0);
        EXPECT_EQ(g_reboot.restarted, c.restarted ? 1 : 0);
        EXPECT_EQ(one.Rebooting(), c.mode == RebootAfterSuccess && c.stored == 0);
        EXPECT_EQ(one.RestartStarted(), c.restarted);
        EXPECT_EQ(one.RebootRefused(), c.asked && c.answer != IDYES);
        const std::wstring code = std::to_wstring(static_cast<uint32_t>(c.stored));
        EXPECT_TRUE(ContainsLine(log.Lines(), L"Return code of launched file:" + code));
    }
    EXPECT_TRUE(ContainsLine(log.Lines(), L"Rebooting machine..."));
}

TEST_F(PackageLauncherTest, RebootWhenFoundInstalledAsksTheDecision)
{
    AddHelper(L"--exit 0", RebootWhenFoundInstalled);
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunDone);
    EXPECT_EQ(decision.asked, std::vector<int32_t>{0});
    EXPECT_EQ(g_reboot.restarted, 0);

    decision.answer = true;
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunRebootPending);
    EXPECT_EQ(g_reboot.restarted, 1);
}

TEST_F(PackageLauncherTest, NoPathFoldersAndTheChainerItselfFailLikeAMissingFile)
{
    // The shell would open a folder in Explorer, which never ends, and the chainer would start
    // itself again. The test program stands for the chainer; a copy started by mistake runs no test.
    const std::wstring self = GetModulePath();
    const size_t slash = self.rfind(L'\\');
    std::wstring selfOtherwise = self.substr(0, slash) + L"\\.\\" + self.substr(slash + 1);
    ::CharUpperBuffW(&selfOtherwise[0], static_cast<DWORD>(selfOtherwise.size()));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"app.msix").c_str(), nullptr));
    const std::wstring refused[] = {dir / L"missing-setup.exe", L"", dir.Path(), dir.Path() + L"\\", dir.Path() + L"\\.", dir / L"app.msix",
                                    self, selfOtherwise, L"\\\\?\\" + self};
    for (const std::wstring& file : refused) {
        launcher.Clear();
        launcher.AddLaunchItem(file, L"--gtest_filter=NoTestAtAll", L"Refused", RebootNever, 0, L"Ret");
        EXPECT_FALSE(launcher.LaunchFile(0)) << file;
        EXPECT_EQ(launcher.Items()[0].returnCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND)) << file;
        EXPECT_EQ(launcher.LastLaunchError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND)) << file;
    }
    const std::wstring text = log.Text();
    const std::wstring failure = L"-Launch failed. Error:" + GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(testing_support::CountOf(text, failure), std::size(refused));
    const auto lines = log.Lines();
    EXPECT_EQ(static_cast<size_t>(std::count(lines.begin(), lines.end(), L"Return code of launched file:2")),
              std::size(refused));
}

TEST_F(PackageLauncherTest, EmptyPropertyMsixPackagesAndLocalSystemTakeTheirOwnWays)
{
    AddHelper(L"--exit 5", RebootNever, L"");
    launcher.RunLaunchItem(0, true);
    EXPECT_FALSE(testing_support::RegistryKeyExists(HKEY_CURRENT_USER, kStoreKeyW)) << "nothing to store";
    EXPECT_THROW(launcher.RunLaunchItem(3, true), std::out_of_range);

    launcher.Clear();
    launcher.AddLaunchItem(dir / L"App.msixbundle", L"", L"App", RebootNever, 0, L"Ret");
    services.deployMsix = [](const std::wstring&) { return true; };
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunDone);
    EXPECT_EQ(Stored(L"Ret"), 0);

    // As LocalSystem the file is started by its command line.
    services.isLocalSystem = [] { return true; };
    launcher.Clear();
    AddHelper(L"--exit 7");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_EQ(Stored(L"Ret"), 7);
}

TEST_F(PackageLauncherTest, LocalSystemStartsMsiexecOfTheSystemFolderNotAPlantedOne)
{
    // A program named msiexec.exe in the current folder, which a search for the program looks
    // at before the system folder (as it looks at the chainer's own folder first).
    ASSERT_TRUE(::CopyFileW(helper.c_str(), (dir / L"msiexec.exe").c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::wstring missing = dir / L"missing.msi";
    uint32_t searched = 12345;
    const bool searchStarted =
        RunProcessAndWait(L"", L"msiexec.exe /i \"" + missing + L"\" /qn", NORMAL_PRIORITY_CLASS, &searched);

    services.isLocalSystem = [] { return true; };
    launcher.AddLaunchItem(missing, L"/qn", L"Package", RebootNever, 0, L"Ret");
    const int result = launcher.RunLaunchItem(0, true);
    ::SetCurrentDirectoryW(previous);

    ASSERT_TRUE(searchStarted);
    EXPECT_EQ(searched, 0u) << "the planted copy answers a search";
    // The real msiexec.exe found no package to install.
    EXPECT_EQ(result, PackageLauncher::RunFailed);
    EXPECT_NE(Stored(L"Ret"), 0);
}
