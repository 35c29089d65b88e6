#include "config/Config.h"
#include "install/InterbootStore.h"
#include "platform/LocalSystem.h"
#include "install/MsixDeployment.h"
#include "install/PackageLauncher.h"
#include "install/Reboot.h"
#include "platform/Logger.h"
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
        SetRebootActions(&kFakeReboot);
        testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kStoreKeyW);
        Logger::Instance().ResetForTesting();
        Logger::Instance().SetLogFile(dir / L"run.log");
        LogEnabled = true;
        helper = testing_support::EnvironmentValue(L"ORVANTA_TESTHELPER");
        ASSERT_FALSE(helper.empty());
    }
    void TearDown() override
    {
        SetRebootActions(nullptr);
        SetLocalSystemProbe(nullptr);
        SetMsixDeployer(nullptr);
        LogEnabled = false;
        Logger::Instance().ResetForTesting();
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

    std::vector<std::wstring> Log() const
    {
        return testing_support::LogMessages(testing_support::ReadUtf16File(dir / L"run.log"));
    }

    TempDir dir;
    std::wstring helper;
    ChainerConfig config;
    InterbootStore store{config, kStoreKey};
    FixedDecision decision;
    PackageLauncher launcher{&store, &decision};
};

} // namespace

TEST_F(PackageLauncherTest, SuccessIsLoggedAndStored)
{
    AddHelper(L"--exit 0");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunDone);
    EXPECT_EQ(Stored(L"Ret"), 0);
    const auto log = Log();
    EXPECT_TRUE(ContainsLine(log, L"Launching file:" + helper));
    EXPECT_TRUE(ContainsLine(log, L"Return code of launched file:0"));
    EXPECT_FALSE(launcher.RebootNeeded());
}

TEST_F(PackageLauncherTest, FailureCodeIsRecordedAndNeverReboots)
{
    AddHelper(L"--exit 1603", RebootAfterSuccess);
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_EQ(Stored(L"Ret"), 1603);
    EXPECT_TRUE(ContainsLine(Log(), L"Return code of launched file:1603"));
    EXPECT_EQ(g_reboot.restarted, 0);
    EXPECT_EQ(launcher.Items()[0].returnCode, 1603u);
}

TEST_F(PackageLauncherTest, RebootRequiredWithoutPolicySetsRebootNeeded)
{
    AddHelper(L"--exit 3010");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunRebootPending);
    EXPECT_TRUE(launcher.RebootNeeded());
    EXPECT_FALSE(launcher.Rebooting());
    EXPECT_EQ(g_reboot.restarted, 0);
    EXPECT_EQ(Stored(L"Ret"), 3010);
}

TEST_F(PackageLauncherTest, RebootPolicyRestartsSilentlyWithoutAsking)
{
    AddHelper(L"--exit 0", RebootAfterSuccess);
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunRebootPending);
    EXPECT_EQ(g_reboot.asked, 0);
    EXPECT_EQ(g_reboot.restarted, 1);
    EXPECT_TRUE(launcher.Rebooting());
    EXPECT_TRUE(launcher.RestartStarted());
    EXPECT_TRUE(ContainsLine(Log(), L"Rebooting machine..."));
}

TEST_F(PackageLauncherTest, DeclinedRestartLeavesARebootNeeded)
{
    g_reboot.answer = IDNO;
    AddHelper(L"--exit 0", RebootAfterSuccess);
    EXPECT_EQ(launcher.RunLaunchItem(0, false), PackageLauncher::RunRebootPending);
    EXPECT_EQ(g_reboot.asked, 1);
    EXPECT_EQ(g_reboot.restarted, 0);
    EXPECT_TRUE(launcher.RebootNeeded());
    EXPECT_TRUE(launcher.RebootRefused());
    EXPECT_TRUE(launcher.Rebooting());
    EXPECT_FALSE(launcher.RestartStarted());
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

TEST_F(PackageLauncherTest, MissingFileFailsWithTheSystemText)
{
    launcher.AddLaunchItem(dir / L"missing-setup.exe", L"", L"Missing", RebootNever, 0, L"Ret");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_EQ(launcher.LastLaunchError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Stored(L"Ret"), 2);
    EXPECT_NE(testing_support::ReadUtf16File(dir / L"run.log")
                  .find(L"-Launch failed. Error:" + GetSystemErrorText(ERROR_FILE_NOT_FOUND)),
              std::wstring::npos);
    EXPECT_TRUE(ContainsLine(Log(), L"Return code of launched file:2"));
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
    const std::wstring refused[] = {L"", dir.Path(), dir.Path() + L"\\", dir.Path() + L"\\.", dir / L"app.msix",
                                    self, selfOtherwise, L"\\\\?\\" + self};
    for (const std::wstring& file : refused) {
        launcher.Clear();
        launcher.AddLaunchItem(file, L"--gtest_filter=NoTestAtAll", L"Refused", RebootNever, 0, L"Ret");
        EXPECT_FALSE(launcher.LaunchFile(0)) << file;
        EXPECT_EQ(launcher.Items()[0].returnCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND)) << file;
    }
    const std::wstring text = testing_support::ReadUtf16File(dir / L"run.log");
    const std::wstring failure = L"-Launch failed. Error:" + GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    size_t failures = 0;
    for (size_t at = text.find(failure); at != std::wstring::npos; at = text.find(failure, at + 1))
        ++failures;
    EXPECT_EQ(failures, std::size(refused));
    const auto log = Log();
    EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), L"Return code of launched file:2")),
              std::size(refused));
}

TEST_F(PackageLauncherTest, CrashedInstallerIsAFailureWithItsStatus)
{
    AddHelper(L"--crash");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_TRUE(ContainsLine(Log(), L"Return code of launched file:3221225477"));
}

TEST_F(PackageLauncherTest, EmptyPropertyNameStoresNothing)
{
    AddHelper(L"--exit 5", RebootNever, L"");
    launcher.RunLaunchItem(0, true);
    EXPECT_FALSE(testing_support::RegistryKeyExists(HKEY_CURRENT_USER, kStoreKeyW));
}

TEST_F(PackageLauncherTest, LocalSystemStartsTheFileByItsCommandLine)
{
    SetLocalSystemProbe([] { return true; });
    AddHelper(L"--exit 7");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_EQ(Stored(L"Ret"), 7);
}

TEST_F(PackageLauncherTest, MsixPackagesGoToTheDeployment)
{
    launcher.AddLaunchItem(dir / L"App.msixbundle", L"", L"App", RebootNever, 0, L"Ret");
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunFailed);
    EXPECT_EQ(Stored(L"Ret"), 1627);
    EXPECT_EQ(launcher.LastLaunchError(), 1627u);

    SetMsixDeployer([](const std::wstring&) { return true; });
    EXPECT_EQ(launcher.RunLaunchItem(0, true), PackageLauncher::RunDone);
    EXPECT_EQ(Stored(L"Ret"), 0);
}

TEST_F(PackageLauncherTest, BadIndexIsAProgrammingError)
{
    EXPECT_THROW(launcher.RunLaunchItem(3, true), std::out_of_range);
}
