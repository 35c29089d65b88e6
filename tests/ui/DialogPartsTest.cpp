// The dialogs inside this process, for what the built chainer's windows do not show from outside
// (tests/ui/ChainerDialogsTest.cpp drives those): the exact bar positions, the bar's error blink
// and the taskbar button behind their seams, the credentials dialog's texts and resizing, and
// closing the status window from another thread.
#include "UiTestSupport.h"

#include "download/InternetDownloader.h"
#include "download/DownloadStage.h"
#include "run/Chainer.h"
#include "ui/CredentialsDialog.h"
#include "ui/DialogIds.h"
#include "ui/DialogServices.h"
#include "ui/ProgressDialog.h"
#include "ui/StatusDialog.h"
#include "ui/TaskbarProgress.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace orvanta;
using namespace ui_testing;

namespace {

const wchar_t kCaption[] = L"Parts Setup";
const uint32_t kUnits = ProgressDialog::kUnitsPerTransferStep;

// What the taskbar seam was told, in order.
struct TaskbarRecord {
    std::mutex lock;
    std::vector<ULONGLONG> values;
    std::vector<TBPFLAG> states;
} g_taskbar;

class RecordingTaskbar final : public TaskbarButton {
public:
    void SetProgressValue(HWND, ULONGLONG completed, ULONGLONG) override
    {
        std::lock_guard<std::mutex> guard(g_taskbar.lock);
        g_taskbar.values.push_back(completed);
    }
    void SetProgressState(HWND, TBPFLAG state) override
    {
        std::lock_guard<std::mutex> guard(g_taskbar.lock);
        g_taskbar.states.push_back(state);
    }
};

// Runs a script on the dialog's worker thread; the script drives the sink and looks at the
// dialog, which it finds by its caption. Its own result is always "done".
class ScriptedWorker final : public StageWorker {
public:
    using Script = std::function<void(ProgressSink& sink, HWND dialog)>;
    explicit ScriptedWorker(Script script) : script_(std::move(script)) {}

    void Run(ProgressSink& sink) override
    {
        const HWND dialog = WaitForDialog(::GetCurrentProcessId(), kCaption, IDC_PROGRESS_BAR);
        script_(sink, dialog);
        finished = true;
    }
    int32_t FinalResult() override { return ProgressDone; }
    void EndSession() override {}

    bool finished = false;

private:
    Script script_;
};

int BarPosition(HWND dialog)
{
    return static_cast<int>(::SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

// Records the messages that reach the progress bar.
std::vector<std::pair<UINT, WPARAM>> g_barMessages;
WNDPROC g_barProcedure = nullptr;

LRESULT CALLBACK RecordBarMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETSTATE || message == WM_SHOWWINDOW)
        g_barMessages.emplace_back(message, wParam);
    return ::CallWindowProcW(g_barProcedure, window, message, wParam, lParam);
}

} // namespace

TEST(ProgressDialogParts, StepsAndBytesMoveTheBarAndTheTaskbarAndAnErrorBlinksUntilCancel)
{
    SetTaskbarButtonFactory([]() -> std::unique_ptr<TaskbarButton> { return std::make_unique<RecordingTaskbar>(); });
    const ScopeGuard restoreTaskbar([] { SetTaskbarButtonFactory(nullptr); });
    std::vector<int> positions;
    ScriptedWorker worker(
        [&](ProgressSink& sink, HWND dialog) {
            const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
            g_barProcedure = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordBarMessage)));
            sink.SetRange(2, 0);
            positions.push_back(BarPosition(dialog));
            sink.SetStatus(L"Downloading A", 8, 0);  // the step's own position, as before
            positions.push_back(BarPosition(dialog));
            EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 2);
            sink.BeginTransfer(1, 1000, L"a.exe");  // from here by the bytes within the step
            positions.push_back(BarPosition(dialog));
            sink.AddProgress(250);
            positions.push_back(BarPosition(dialog));
            sink.Complete(1, 0);  // a finished file leaves the dialog open
            positions.push_back(BarPosition(dialog));
            sink.SetStatus(L"Other kind", 3, 0);  // only stage steps count
            sink.SetStatus(L"Installing B", 8, 0);
            positions.push_back(BarPosition(dialog));
            EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), static_cast<LRESULT>(2 * kUnits));
            EXPECT_EQ(sink.ReportError(L"", DLERR_REJECTED, 0), DLERR_REJECTED);
            EXPECT_FALSE(sink.IsCanceled());
            PressButton(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntil([&] { return sink.IsCanceled(); }));
        });
    ProgressDialog dialog(worker, kCaption);
    EXPECT_EQ(dialog.Run(), ProgressCanceledOrRebooting);
    EXPECT_TRUE(worker.finished);
    const std::vector<int> expected{0, 1, 0, static_cast<int>(kUnits / 4),
                                    static_cast<int>(kUnits), static_cast<int>(2 * kUnits)};
    EXPECT_EQ(positions, expected);
    // Wine's bar keeps no error state: the messages that reached it show the blink.
    const std::vector<std::pair<UINT, WPARAM>> blink{
        {PBM_SETSTATE, PBST_ERROR}, {WM_SHOWWINDOW, FALSE}, {WM_SHOWWINDOW, TRUE}};
    EXPECT_NE(std::search(g_barMessages.begin(), g_barMessages.end(), blink.begin(), blink.end()),
              g_barMessages.end());

    std::lock_guard<std::mutex> guard(g_taskbar.lock);
    EXPECT_NE(std::find(g_taskbar.values.begin(), g_taskbar.values.end(), kUnits / 4), g_taskbar.values.end());
    EXPECT_NE(std::find(g_taskbar.states.begin(), g_taskbar.states.end(), TBPF_ERROR), g_taskbar.states.end());
    ASSERT_FALSE(g_taskbar.states.empty());
    EXPECT_EQ(g_taskbar.states.back(), TBPF_NOPROGRESS);  // cleared with the dialog
}

TEST(CredentialsDialogParts, ProxyQuestionNamesBothHostsAndEnterReturnsWhatWasTypedAndEscapeNothing)
{
    // A realm in the caption and text is met by the built chainer's login test.
    const CredentialQuestion question{L"files.example", L"proxy.corp", L""};
    for (const bool confirm : {true, false}) {
        std::wstring user;
        std::wstring password;
        bool answered = false;
        bool remember = true;
        std::thread asking([&] { answered = AskForCredentials(nullptr, question, user, password, remember); });
        const HWND dialog = WaitForDialog(::GetCurrentProcessId(), L"Connect to files.example");
        EXPECT_NE(dialog, nullptr);
        if (dialog != nullptr) {
            EXPECT_EQ(ControlText(dialog, IDC_CREDENTIALS_TEXT),
                      L"The server files.example at proxy.corp requires a username and password. Please enter them below.");
            Type(dialog, IDC_USER_NAME, L"tester");
            Type(dialog, IDC_PASSWORD, L"pw");
            PressKey(dialog, IDC_PASSWORD, confirm ? VK_RETURN : VK_ESCAPE);
        }
        asking.join();
        EXPECT_EQ(answered, confirm);
        EXPECT_EQ(user, confirm ? L"tester" : L"");
        EXPECT_EQ(password, confirm ? L"pw" : L"");
        EXPECT_EQ(remember, !confirm);  // not ticked: read as such on OK, left alone on Escape
    }
}

TEST(CredentialsDialogParts, ResizingStretchesTheFieldsAndMovesTheButtonsButNotBelowItsFirstSize)
{
    const CredentialQuestion question{L"files.example", L"", L"Sizes"};
    std::thread asking([&] {
        std::wstring user;
        std::wstring password;
        bool remember = false;
        AskForCredentials(nullptr, question, user, password, remember);
    });
    const HWND dialog = WaitForDialog(::GetCurrentProcessId(), L"Connect to Sizes");
    ASSERT_NE(dialog, nullptr);
    const auto rectOf = [&](int id) {
        RECT rect{};
        ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
        return rect;
    };
    ASSERT_NE(::GetDlgItem(dialog, IDC_SIZE_GRIP), nullptr);
    RECT before{};
    ::GetWindowRect(dialog, &before);
    const RECT okBefore = rectOf(IDOK);
    const RECT userBefore = rectOf(IDC_USER_NAME);
    const RECT checkBefore = rectOf(IDC_REMEMBER);
    SaveScreenshot(dialog, L"login-dialog");

    ::SetWindowPos(dialog, nullptr, 0, 0, before.right - before.left + 100, before.bottom - before.top + 40,
                   SWP_NOMOVE | SWP_NOZORDER);
    const RECT okAfter = rectOf(IDOK);
    const RECT userAfter = rectOf(IDC_USER_NAME);
    const RECT checkAfter = rectOf(IDC_REMEMBER);
    EXPECT_EQ(okAfter.left - okBefore.left, 100);
    EXPECT_EQ(okAfter.top - okBefore.top, 40);
    EXPECT_EQ(userAfter.right - userBefore.right, 100);
    EXPECT_EQ(userAfter.left, userBefore.left);
    EXPECT_EQ(checkAfter.left - checkBefore.left, 0);

    MINMAXINFO limits{};
    ::SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, before.right - before.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, before.bottom - before.top);
    PressButton(dialog, IDCANCEL);
    asking.join();
}

TEST(StatusDialogParts, ClosingFromAnotherThreadReturnsOnlyOnceTheWindowIsGone)
{
    StatusDialog status;
    status.Show(kCaption, L"Searching", false);
    const HWND window = FindDialog(::GetCurrentProcessId(), kCaption, IDC_STATUS_TEXT);
    ASSERT_NE(window, nullptr);

    // Centred in the work area of its monitor.
    RECT rect{};
    ::GetWindowRect(window, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR((rect.left + rect.right) / 2, (monitor.rcWork.left + monitor.rcWork.right) / 2, 1);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 1);

    bool goneOnReturn = false;
    bool returned = false;
    std::thread closer([&] {
        status.Close();
        goneOnReturn = !::IsWindow(window);
        returned = true;
    });
    // This thread created the window: it destroys it when it pumps its messages.
    WaitUntil([&] {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
        return returned;
    });
    closer.join();
    EXPECT_TRUE(goneOnReturn);
}

TEST(ErrorMessage, ShownWholeWithAnInterfaceAndNotAtAllWithout)
{
    // Longer than the 255 characters of a first string buffer.
    const std::wstring text = L"Setup cannot go on: " + std::wstring(300, L'x') + L" (end)";
    SetInterfaceShown(true);
    std::thread showing([&] { ShowErrorMessage(text); });
    const HWND box = WaitForDialog(::GetCurrentProcessId(), L"Error");
    EXPECT_NE(box, nullptr);
    if (box != nullptr) {
        EXPECT_EQ(ControlText(box, 0xFFFF), text);
        PressButton(box, IDOK);
    }
    showing.join();

    SetInterfaceShown(false);
    std::thread silent([&] { ShowErrorMessage(text); });
    silent.join();  // returns without waiting for anybody
    EXPECT_EQ(CountVisibleWindows(::GetCurrentProcessId()), 0);
}
