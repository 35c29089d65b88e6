// The built chainer in basic-interface runs under a real display, watched and driven from this
// program as a person would: the status window, the progress dialog with its bar and Cancel, the
// error state, the restart question, the login question, and a silent run that shows nothing.
#include "ChainerDialogs.h"
#include "platform/resource.h"
#include "ui/DialogIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>

using namespace testing_support;
using namespace ui_testing;
using download_testing::Servers;

TEST_F(ChainerDialogs, StatusWindowShowsWhileTheSearchRuns)
{
    Gate search(L"OrvantaUiSearch");
    Section runtime = Prerequisite(L"Runtime");
    runtime[2] = L"SearchType1=10";
    runtime[3] = L"SearchString1=helper.exe";
    runtime.push_back(L"SearchCmdLine1=--wait " + search.Name() + L" --exit 0");
    runtime.push_back(L"RefContent1=WND_HIDE");  // no console window over the status window
    runtime.push_back(L"SetupFile=helper.exe");
    WritePackage(L"b", {runtime});

    Start();
    const HWND status = WaitForDialog(chainer->Id(), kTitle, IDC_STATUS_TEXT);
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(WaitForControlText(status, IDC_STATUS_TEXT, L"Searching for prerequisites..."));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(status, IDCANCEL)));  // Skip does nothing: hidden
    SaveScreenshot(status, L"status");

    search.Open();  // the search finds the prerequisite: nothing to install
    EXPECT_TRUE(WaitUntilGone(status));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Logged(L"No prerequisite must be installed."));
}

TEST_F(ChainerDialogs, StatusWindowAnswersWhileWaitingForWindowsInstaller)
{
    WritePackage(L"b", {Installer(L"Runtime", nullptr)});
    // Wine's msiexec never creates the execution mutex: the test holds it itself.
    const HANDLE installing = ::CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute");
    ASSERT_NE(installing, nullptr);
    Start();
    const HWND status = WaitForDialog(chainer->Id(), kTitle, IDC_STATUS_TEXT);
    EXPECT_NE(status, nullptr);
    // The window is alive: it answers a message (a blocked thread would let this time out).
    if (status != nullptr) {
        EXPECT_EQ(ControlText(status, IDC_STATUS_TEXT), L"Preparing...");
    }
    ::ReleaseMutex(installing);
    ::CloseHandle(installing);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Marked(L"Runtime"));
}

TEST_F(ChainerDialogs, BarMovesThroughTwoInstalls)
{
    Gate first(L"OrvantaUiRuntime");
    Gate second(L"OrvantaUiTools");
    WritePackage(L"b", {Installer(L"Runtime", &first), Installer(L"Tools", &second)});

    Start();
    const HWND dialog = WaitForProgress();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(FindDialog(chainer->Id(), kTitle, IDC_STATUS_TEXT) == nullptr);  // closed before
    ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Installing Runtime"));
    // The status line is set a moment before the bar moves.
    BarState bar;
    EXPECT_TRUE(WaitUntil([&] {
        bar = ReadBar(dialog, IDC_PROGRESS_BAR);
        return bar.position == 1;
    }));
    EXPECT_EQ(bar.high, 2);  // the stage's steps
    // The icon holds a bitmap for 16 pixels and PNG images for the larger sizes: each loads.
    const HMODULE image = ::LoadLibraryExW(package.ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    for (const int size : {16, 24, 32, 48}) {
        const HANDLE icon = ::LoadImageW(image, MAKEINTRESOURCEW(IDI_CHAINER), IMAGE_ICON, size, size, 0);
        EXPECT_NE(icon, nullptr) << size;
        ::DestroyIcon(static_cast<HICON>(icon));
    }
    ::FreeLibrary(image);
    SaveScreenshot(dialog, L"progress");

    first.Open();
    ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Installing Tools"));
    EXPECT_TRUE(WaitUntil([&] {
        bar = ReadBar(dialog, IDC_PROGRESS_BAR);
        return bar.position == bar.high;
    })) << bar.position << " of " << bar.high;

    second.Open();
    EXPECT_TRUE(WaitUntilGone(dialog));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Marked(L"Runtime"));
    EXPECT_TRUE(Marked(L"Tools"));
}

TEST_F(ChainerDialogs, CancelDuringAnInstallEndsAtOnceAndStartsNothingMore)
{
    // A cancelled run still fails when a mandatory prerequisite is missing. Cancel is pressed
    // once with the button, once with the Escape key.
    for (const auto& c : {std::make_pair(L"", 0u), std::make_pair(L"m", 1u)}) {
        SCOPED_TRACE(c.first);
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        Gate first(L"OrvantaUiCancelFirst");
        WritePackage(L"b", {Installer(L"Alpha", &first), Installer(L"Beta", nullptr, c.first)});
        Start();
        const HWND dialog = WaitForProgress();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Installing Alpha"));

        if (c.second == 0)
            PressButton(dialog, IDCANCEL);
        else
            PressKey(dialog, IDCANCEL, VK_ESCAPE);
        EXPECT_TRUE(WaitUntilGone(dialog));
        EXPECT_TRUE(chainer->Running());  // it waits for the installer that runs
        first.Open();
        EXPECT_EQ(ExitCode(), c.second);
        EXPECT_TRUE(Marked(L"Alpha"));
        EXPECT_FALSE(Marked(L"Beta"));
    }
}

TEST_F(ChainerDialogs, StalledOrRejectedDownloadStaysInTheDialogUntilCancel)
{
    REQUIRE_TEST_SERVERS();
    Gate never(L"OrvantaUiNever");
    for (const bool stalled : {true, false}) {
        SCOPED_TRACE(stalled ? "stalled" : "rejected");
        ::DeleteFileW(package.LogPath().c_str());
        // The stalling server sends three of the engine's 256 KiB reads (52% of the file), then
        // nothing; the rejected file does not match its MD5, and the install after it never starts.
        if (stalled)
            WritePackage(L"b", {Download(L"Stalled", Servers().FaultUrl(L"/stall/786432/medium.bin"))});
        else
            WritePackage(L"b", {Download(L"Broken", Servers().NginxUrl(L"small.bin"),
                                         L"MD5=00000000000000000000000000000000"),
                                Installer(L"Later", &never)});
        Start();
        const HWND dialog = WaitForProgress();
        ASSERT_NE(dialog, nullptr);
        if (stalled) {
            ASSERT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Downloading Stalled"));
            // The bar stands inside its only step, by the bytes that arrived.
            EXPECT_TRUE(WaitUntil([&] {
                const BarState bar = ReadBar(dialog, IDC_PROGRESS_BAR);
                return bar.position * 2 > bar.high && bar.position * 5 < bar.high * 3;
            }));
            SaveScreenshot(dialog, L"download");
        } else {
            ASSERT_TRUE(WaitUntil([&] { return LogContains(L"Downloaded file was rejected."); }));
            // The status line says why; the bar is in its error state (Wine keeps none).
            EXPECT_TRUE(
                WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"The downloaded file does not match its MD5."));
            if (!RunningUnderWine()) {
                EXPECT_EQ(ReadBar(dialog, IDC_PROGRESS_BAR).state, PBST_ERROR);
            }
            ::Sleep(1000);
            EXPECT_TRUE(::IsWindowVisible(dialog));  // it stays until Cancel
            EXPECT_EQ(CountVisibleWindows(chainer->Id()), 1);  // no message box
            SaveScreenshot(dialog, L"error");
        }
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilGone(dialog));
        EXPECT_EQ(ExitCode(), 0u);
        if (stalled) {
            EXPECT_TRUE(LogContains(L"Download failed. Error:"));  // logged once cancelled
        }
        EXPECT_FALSE(Marked(stalled ? L"Stalled" : L"Later"));
    }
}

TEST_F(ChainerDialogs, RestartQuestionNoIsRefusedAndYesRestartsThroughTheSeam)
{
    const std::wstring fakeRestart = EnvironmentValue(L"ORVANTA_CHAINER_FAKE_RESTART");
    ASSERT_FALSE(fakeRestart.empty());
    const struct {
        int answer;
        DWORD exitCode;
        const wchar_t* summary;
    } cases[] = {{IDNO, 0, L"  Reboot was refused=true"}, {IDYES, kMinusOne, L"  Reboot in Progress=true"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        // Only the chainer whose restart is a seam may hear Yes.
        if (c.answer == IDYES) {
            ASSERT_TRUE(::CopyFileW(fakeRestart.c_str(), package.ExePath().c_str(), FALSE));
        }
        WritePackage(L"b", {Installer(L"Runtime", nullptr, L"r")});
        Start();
        const HWND question = WaitForDialog(chainer->Id(), L"Confirmation");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(ControlText(question, kMessageBoxText).find(L"You must reboot your computer"), 0u);
        if (c.answer == IDNO) {
            SaveScreenshot(question, L"reboot");
            // From the keyboard: Tab moves from Yes to No, Enter answers.
            ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == question; }));
            PressKeys({VK_TAB, VK_RETURN});
        } else {
            PressButton(question, c.answer);
        }
        EXPECT_EQ(ExitCode(), c.exitCode);
        EXPECT_TRUE(Logged(c.summary));
        EXPECT_EQ(Marked(L"RestartStarted"), c.answer == IDYES);
    }
}

TEST_F(ChainerDialogs, LoginQuestionAnswersAServerOrAProxyAndAsksAgainAfterAWrongPassword)
{
    REQUIRE_TEST_SERVERS();
    // The guarded download is a real setup program: the helper.
    ASSERT_TRUE(::CopyFileW(EnvironmentValue(L"ORVANTA_TESTHELPER").c_str(),
                            Servers().DataFile(L"guarded-setup.exe").c_str(), FALSE));
    const std::wstring server = Servers().FaultUrl(L"/auth/Members/tester/secret/guarded-setup.exe");
    const struct {
        std::wstring url;
        int proxy;  // the run's system proxy (tinyproxy asking for a login); 0: none
        const wchar_t* name;  // the realm
        const wchar_t* user;
        const wchar_t* password;
        bool downloaded;
    } cases[] = {{server, 0, L"Members", L"tester", L"secret", true},
                 {server, 0, L"Members", L"tester", L"wrong-one", false},
                 {Servers().NginxUrl(L"guarded-setup.exe"), Servers().proxyLogin, L"Tinyproxy", L"proxyuser",
                  L"proxypw", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url + L" " + c.password);
        ::DeleteFileW(package.LogPath().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        WritePackage(L"b", {Download(L"Guarded", c.url)});
        std::unique_ptr<download_testing::ProxyForChildren> proxy;
        if (c.proxy != 0)
            proxy = std::make_unique<download_testing::ProxyForChildren>(c.proxy);
        Start();
        proxy.reset();
        const std::wstring caption = L"Connect to " + std::wstring(c.name);
        const HWND login = WaitForDialog(chainer->Id(), caption);
        ASSERT_NE(login, nullptr);
        EXPECT_EQ(::GetWindow(login, GW_OWNER), WaitForProgress());  // asked over the progress dialog
        EXPECT_EQ(ControlText(login, IDC_CREDENTIALS_TEXT),
                  L"The server " + std::wstring(c.name) +
                      L" at 127.0.0.1 requires a username and password. Please enter them below.");
        EXPECT_FALSE(IsControlEnabled(login, IDOK));
        if (c.downloaded) {
            Type(login, IDC_USER_NAME, c.user);
            EXPECT_TRUE(WaitUntil([&] { return IsControlEnabled(login, IDOK); }));
            Type(login, IDC_PASSWORD, c.password);
            if (c.proxy == 0)
                SaveScreenshot(login, L"login");
            PressButton(login, IDOK);  // "Remember my credentials" left unticked
        } else {
            // From the keyboard alone: the user name has the focus, access keys reach the
            // password and the tick, Enter confirms.
            ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == login; }));
            TypeOnKeyboard(c.user);
            PressAltWith(L'p');
            TypeOnKeyboard(c.password);
            PressAltWith(L'r');
            EXPECT_TRUE(WaitUntil(
                [&] { return ::SendDlgItemMessageW(login, IDC_REMEMBER, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
            EXPECT_TRUE(WaitForControlText(login, IDC_USER_NAME, c.user));
            PressKeys({VK_RETURN});
        }
        ASSERT_TRUE(WaitUntilGone(login));

        if (!c.downloaded) {
            // The server refuses again: the question comes back, and Esc gives up.
            const HWND again = WaitForDialog(chainer->Id(), caption);
            ASSERT_NE(again, nullptr);
            ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == again; }));
            PressKeys({VK_ESCAPE});
        }
        EXPECT_EQ(ExitCode(), 0u);
        EXPECT_EQ(Marked(L"Guarded"), c.downloaded);
        EXPECT_EQ(LogContains(L"Download failed. Error:"), !c.downloaded);
        EXPECT_EQ(Logged(L"The server 127.0.0.1:" + std::to_wstring(Servers().fault) + L" requires a login."),
                  !c.downloaded);
        EXPECT_FALSE(LogContains(c.password));
    }
}

TEST_F(ChainerDialogs, SecondStartOfThePackageSaysSetupIsAlreadyRunningAndEndsWith1618)
{
    Gate started(L"OrvantaUiLockStarted");
    Gate finish(L"OrvantaUiLockFinish");
    WritePackage(L"b", {Installer(L"Busy", &finish, L"", L"--signal " + started.Name() + L" ")});
    Start();
    ASSERT_TRUE(started.WaitOpen());
    StartedProcess second(L"\"" + package.ExePath() + L"\"", package.Folder());
    const HWND box = WaitForDialog(second.Id(), kTitle);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ControlText(box, kMessageBoxText), L"Setup is already running.");
    SaveScreenshot(box, L"already-running");
    PressButton(box, IDOK);
    DWORD code = 0;
    EXPECT_TRUE(second.Wait(code));
    EXPECT_EQ(code, 1618u);
    finish.Open();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Marked(L"Busy"));
}

TEST_F(ChainerDialogs, SilentRunShowsNoWindowAtAll)
{
    Gate started(L"OrvantaUiStarted");
    Gate finish(L"OrvantaUiFinish");
    WritePackage(L"q", {Installer(L"Quiet", &finish, L"", L"--signal " + started.Name() + L" ")});
    Start();
    ASSERT_TRUE(started.WaitOpen());
    EXPECT_EQ(CountVisibleWindows(chainer->Id()), 0);
    finish.Open();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Marked(L"Quiet"));
}
