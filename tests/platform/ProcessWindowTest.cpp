// The message-pumping wait. A watchdog thread
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

} // namespace

TEST_F(WaitWithMessagePumpTest, DispatchesMessagesWhileWaitingAndFailsForInvalidHandles)
{
    Watchdog watchdog(event_.Get());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, SignalFromTimer);
    ASSERT_NE(timer, 0u);
    const ScopeGuard killTimer([timer] { ::KillTimer(nullptr, timer); });

    EXPECT_TRUE(WaitWithMessagePump(event_.Get()));
    EXPECT_TRUE(g_dispatched);
    EXPECT_FALSE(watchdog.Fired());

    ::SetEvent(event_.Get());
    EXPECT_TRUE(WaitWithMessagePump(event_.Get()));

    testing_support::StartedProcess child(HelperCommandLine(L"--exit 3"));
    ASSERT_TRUE(child.Started());
    EXPECT_TRUE(WaitWithMessagePump(child.Handle()));
    DWORD exitCode = 0;
    EXPECT_TRUE(child.Wait(exitCode, 0));
    EXPECT_EQ(exitCode, 3u);

    const HANDLE closed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(closed);
    EXPECT_FALSE(WaitWithMessagePump(closed));
}
