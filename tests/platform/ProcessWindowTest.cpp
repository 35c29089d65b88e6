// The message-pumping wait and the window search of a started program. A watchdog thread
// signals every waited-for handle after a while, so a wait that fails to pump cannot hang;
// the tests then see that the watchdog, not the message, ended the wait.
#include "ChildProcesses.h"
#include "TestSupport.h"

#include "platform/ProcessLaunch.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace orvanta;
using namespace install_tests;

namespace {

HANDLE g_event = nullptr;
std::atomic<bool> g_dispatched{false};

class Watchdog {
public:
    explicit Watchdog(HANDLE event) : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this, event] {
            if (::WaitForSingleObject(stop_.Get(), 20000) == WAIT_TIMEOUT) {
                fired_ = true;
                ::SetEvent(event);
            }
        });
    }
    ~Watchdog()
    {
        ::SetEvent(stop_.Get());
        thread_.join();
    }
    bool Fired() const { return fired_; }

private:
    UniqueHandle stop_;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

void CALLBACK SignalFromTimer(HWND, UINT, UINT_PTR, DWORD)
{
    g_dispatched = true;
    ::SetEvent(g_event);
}

class WaitWithMessagePumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        event_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_event = event_.Get();
        g_dispatched = false;
    }
    void TearDown() override { g_event = nullptr; }

    UniqueHandle event_;
};

struct WindowClass {
    explicit WindowClass(WNDPROC procedure, const wchar_t* name)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = name;
        ::RegisterClassW(&windowClass);
    }
};

struct WindowOwner {
    HWND window = nullptr;
    ~WindowOwner()
    {
        if (window != nullptr)
            ::DestroyWindow(window);
    }
};

// Position of the window in the z-order of top-level windows (0 is the top); -1 when absent.
int ZOrderPosition(HWND wanted)
{
    int position = 0;
    for (HWND window = ::GetTopWindow(nullptr); window != nullptr && position < 10000;
         window = ::GetWindow(window, GW_HWNDNEXT), ++position) {
        if (window == wanted)
            return position;
    }
    return -1;
}

struct ProcessWindows {
    DWORD processId = 0;
    HWND captioned = nullptr;
    HWND hidden = nullptr;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM parameter)
{
    auto* windows = reinterpret_cast<ProcessWindows*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == windows->processId) {
        if ((::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
            windows->captioned = window;
        else
            windows->hidden = window;
    }
    return TRUE;
}

} // namespace

TEST_F(WaitWithMessagePumpTest, TimerMessageIsDispatchedWhileWaiting)
{
    Watchdog watchdog(event_.Get());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, SignalFromTimer);
    ASSERT_NE(timer, 0u);
    const ScopeGuard killTimer([timer] { ::KillTimer(nullptr, timer); });

    EXPECT_TRUE(WaitWithMessagePump(event_.Get()));
    EXPECT_TRUE(g_dispatched);
    EXPECT_FALSE(watchdog.Fired());
}

TEST_F(WaitWithMessagePumpTest, ReturnsTrueForSignalledHandlesAndFalseForInvalidOnes)
{
    ::SetEvent(event_.Get());
    EXPECT_TRUE(WaitWithMessagePump(event_.Get()));

    StartedChild child = StartChild(HelperCommandLine(L"--exit 3"));
    ASSERT_TRUE(child.process);
    ProcessReaper reaper;
    reaper.Add(child.id);
    EXPECT_TRUE(WaitWithMessagePump(child.process.Get()));
    EXPECT_EQ(WaitForExitCode(child.process.Get(), 0), 3u);

    const HANDLE closed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(closed);
    EXPECT_FALSE(WaitWithMessagePump(closed));
}

TEST(BringProcessWindowToTop, ReturnsForNullHandleAndForProcessesWithoutWindows)
{
    BringProcessWindowToTop(nullptr);

    StartedChild child = StartChild(HelperCommandLine(L"--sleep 20000"));
    ASSERT_TRUE(child.process);
    ProcessReaper reaper;
    reaper.Add(child.id);
    BringProcessWindowToTop(child.process.Get());
    // It gave up on its own: the windowless child still runs.
    EXPECT_EQ(WaitForExitCode(child.process.Get(), 0), STILL_ACTIVE);
}

// Needs a display: without one (as under CTest) it is skipped; run it by hand under Xvfb.
TEST(BringProcessWindowToTop, RaisesTheVisibleCaptionedWindowOfAChildProcess)
{
    static const WindowClass windowClass(::DefWindowProcW, L"OrvantaRaiseTestWindow");
    const auto createOwnWindow = [] {
        return ::CreateWindowExW(0, L"OrvantaRaiseTestWindow", L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    };
    {
        WindowOwner probe;
        probe.window = createOwnWindow();
        if (probe.window == nullptr)
            GTEST_SKIP() << "no windows can be created here";
    }
    testing_support::TempDir temp;
    const std::wstring report = temp / L"child.txt";
    ReadyEvent ready;
    ProcessReaper reaper;
    // The root has no window; its child opens a captioned window, then a hidden one above it.
    StartedChild root = StartChild(HelperCommandLine(L"--spawn \"--window --report \\\"" + report +
                                                     L"\\\" --signal " + ready.Name() +
                                                     L" --pump 20000\" --sleep 20000"));
    ASSERT_TRUE(root.process);
    reaper.Add(root.id);
    ASSERT_TRUE(ready.Wait());
    ProcessWindows windows;
    windows.processId = ReportedNumber(ReadReport(report), L"pid");
    reaper.Add(windows.processId);
    ::EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&windows));
    ASSERT_NE(windows.captioned, nullptr);
    ASSERT_NE(windows.hidden, nullptr);
    WindowOwner own;
    own.window = createOwnWindow();
    ASSERT_LT(ZOrderPosition(own.window), ZOrderPosition(windows.captioned));

    BringProcessWindowToTop(root.process.Get());

    const int captioned = ZOrderPosition(windows.captioned);
    EXPECT_LT(captioned, ZOrderPosition(own.window));
    EXPECT_LT(captioned, ZOrderPosition(windows.hidden));
}
