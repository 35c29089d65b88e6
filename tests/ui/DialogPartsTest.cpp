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
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace orvanta;
using namespace ui_testing;

namespace {

const wchar_t kCaption[] = L"Parts Setup";

// What the taskbar seam was told, in order.
struct TaskbarRecord {
    std::mutex lock;
    std::vector<std::pair<ULONGLONG, ULONGLONG>> values;  // completed, total
    std::vector<TBPFLAG> states;
} g_taskbar;

class RecordingTaskbar final : public TaskbarButton {
public:
    void SetProgressValue(HWND, ULONGLONG completed, ULONGLONG total) override
    {
        std::lock_guard<std::mutex> guard(g_taskbar.lock);
        g_taskbar.values.emplace_back(completed, total);
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

    void Run(ProgressSink& sink, DownloadQuestions&) override
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

// Records the messages that reach the progress bar, and each position it is given with the
// stage the script runs and the bar's range at the time.
std::vector<std::pair<UINT, WPARAM>> g_barMessages;
struct BarMove {
    int stage;
    ULONGLONG position;
    ULONGLONG high;
};
std::vector<BarMove> g_barMoves;
std::atomic<int> g_stage{0};
ULONGLONG g_barHigh = 0;
WNDPROC g_barProcedure = nullptr;

LRESULT CALLBACK RecordBarMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETSTATE || message == WM_SHOWWINDOW)
        g_barMessages.emplace_back(message, wParam);
    if (message == PBM_SETRANGE32)
        g_barHigh = static_cast<ULONGLONG>(lParam);
    if (message == PBM_SETPOS)
        g_barMoves.push_back({g_stage, wParam, g_barHigh});
    return ::CallWindowProcW(g_barProcedure, window, message, wParam, lParam);
}

// One call on the sink, and the bar's position and range's end after it.
struct SinkCall {
    enum Kind { Downloads, Installs, Step, OtherStatus, Begin, Bytes, Done } kind;
    uint64_t value;  // steps, length or bytes
    int position;
    int high;
};

void Perform(ProgressSink& sink, const SinkCall& call)
{
    switch (call.kind) {
    case SinkCall::Downloads:
    case SinkCall::Installs:
        ++g_stage;
        sink.SetRange(static_cast<uint32_t>(call.value),
                      call.kind == SinkCall::Downloads ? StageSteps::Transfers : StageSteps::Actions);
        break;
    case SinkCall::Step: sink.SetStatus(L"Step", 8, 0); break;
    case SinkCall::OtherStatus: sink.SetStatus(L"Other kind", 3, 0); break;  // only stage steps count
    case SinkCall::Begin: sink.BeginTransfer(1, call.value, L"a.exe"); break;
    case SinkCall::Bytes: sink.AddProgress(call.value); break;
    case SinkCall::Done: sink.Complete(1, 0); break;  // a finished file leaves the dialog open
    }
}

} // namespace

TEST(ProgressDialogParts, TheBarAndTheTaskbarOnlyMoveForwardWithinAStageAndAnErrorBlinksUntilCancel)
{
    const int u = static_cast<int>(ProgressDialog::kUnitsPerTransferStep);
    using C = SinkCall;
    const std::vector<SinkCall> calls{
        // Three downloads of known length, their bytes in pieces: each starts where the one
        // before ended, and the step boundaries are the thirds.
        {C::Downloads, 3, 0, 3 * u},
        {C::Step, 0, 0, 3 * u}, {C::Begin, 4000, 0, 3 * u}, {C::Bytes, 1000, u / 4, 3 * u},
        {C::Bytes, 3000, u, 3 * u}, {C::Done, 0, u, 3 * u},
        {C::Step, 0, u, 3 * u}, {C::OtherStatus, 0, u, 3 * u}, {C::Begin, 3, u, 3 * u},
        {C::Bytes, 1, u + u / 3, 3 * u}, {C::Bytes, 2, 2 * u, 3 * u}, {C::Done, 0, 2 * u, 3 * u},
        {C::Step, 0, 2 * u, 3 * u}, {C::Begin, 1000, 2 * u, 3 * u}, {C::Bytes, 600, 2 * u + 600, 3 * u},
        {C::Done, 0, 3 * u, 3 * u},
        // Unknown lengths: a step ends at its finished file, or at the next step when the
        // transfer stopped half way or never began.
        {C::Downloads, 4, 0, 4 * u},
        {C::Step, 0, 0, 4 * u}, {C::Begin, 0, 0, 4 * u}, {C::Bytes, 4096, 0, 4 * u}, {C::Done, 0, u, 4 * u},
        {C::Step, 0, u, 4 * u}, {C::Begin, 2000, u, 4 * u}, {C::Bytes, 1000, u + u / 2, 4 * u},
        {C::Step, 0, 2 * u, 4 * u}, {C::Step, 0, 3 * u, 4 * u},
        // Installs take their step as they begin.
        {C::Installs, 2, 0, 2}, {C::Step, 0, 1, 2}, {C::Begin, 100, 1, 2}, {C::Bytes, 50, 1, 2},
        {C::Step, 0, 2, 2}};
    ScriptedWorker worker(
        [&](ProgressSink& sink, HWND dialog) {
            const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS_BAR);
            g_barProcedure = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordBarMessage)));
            for (size_t index = 0; index < calls.size(); ++index) {
                Perform(sink, calls[index]);
                EXPECT_EQ(BarPosition(dialog), calls[index].position) << "call " << index;
                EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), calls[index].high) << "call " << index;
            }
            EXPECT_EQ(sink.ReportError(L"", DLERR_REJECTED), DLERR_REJECTED);
            EXPECT_FALSE(sink.IsCanceled());
            PressButton(dialog, IDCANCEL);  // posted after the taskbar's values: they arrive first
            EXPECT_TRUE(WaitUntil([&] { return sink.IsCanceled(); }));
        });
    ProgressDialog dialog(worker, kCaption,
                          []() -> std::unique_ptr<TaskbarButton> { return std::make_unique<RecordingTaskbar>(); });
    EXPECT_EQ(dialog.Run(), ProgressCanceledOrRebooting);
    EXPECT_TRUE(worker.finished);
    // Within a stage the fraction the bar shows never falls.
    for (size_t index = 1; index < g_barMoves.size(); ++index) {
        const BarMove& before = g_barMoves[index - 1];
        const BarMove& after = g_barMoves[index];
        if (after.stage == before.stage) {
            EXPECT_GE(after.position * before.high, before.position * after.high) << "move " << index;
        }
    }
    // Wine's bar keeps no error state: the messages that reached it show the blink.
    const std::vector<std::pair<UINT, WPARAM>> blink{
        {PBM_SETSTATE, PBST_ERROR}, {WM_SHOWWINDOW, FALSE}, {WM_SHOWWINDOW, TRUE}};
    EXPECT_NE(std::search(g_barMessages.begin(), g_barMessages.end(), blink.begin(), blink.end()),
              g_barMessages.end());

    // The taskbar button was given every position of the bar, with the bar's range.
    std::vector<std::pair<ULONGLONG, ULONGLONG>> barValues;
    for (const BarMove& move : g_barMoves)
        barValues.emplace_back(move.position, move.high);
    std::lock_guard<std::mutex> guard(g_taskbar.lock);
    EXPECT_EQ(g_taskbar.values, barValues);
    EXPECT_NE(std::find(g_taskbar.states.begin(), g_taskbar.states.end(), TBPF_ERROR), g_taskbar.states.end());
    ASSERT_FALSE(g_taskbar.states.empty());
    EXPECT_EQ(g_taskbar.states.back(), TBPF_NOPROGRESS);  // cleared with the dialog
}

TEST(CredentialsDialogParts, ProxyQuestionNamesBothHostsResizesAndEnterReturnsWhatWasTypedAndEscapeNothing)
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
            if (!confirm) {
                // Resizing stretches the fields and moves the buttons, but not below the first size.
                const auto rectOf = [&](int id) {
                    RECT rect{};
                    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
                    return rect;
                };
                EXPECT_NE(::GetDlgItem(dialog, IDC_SIZE_GRIP), nullptr);
                RECT before{};
                ::GetWindowRect(dialog, &before);
                const RECT okBefore = rectOf(IDOK);
                const RECT userBefore = rectOf(IDC_USER_NAME);
                const RECT checkBefore = rectOf(IDC_REMEMBER);
                SaveScreenshot(dialog, L"login-dialog");
                ::SetWindowPos(dialog, nullptr, 0, 0, before.right - before.left + 100, before.bottom - before.top + 40,
                               SWP_NOMOVE | SWP_NOZORDER);
                EXPECT_EQ(rectOf(IDOK).left - okBefore.left, 100);
                EXPECT_EQ(rectOf(IDOK).top - okBefore.top, 40);
                EXPECT_EQ(rectOf(IDC_USER_NAME).right - userBefore.right, 100);
                EXPECT_EQ(rectOf(IDC_USER_NAME).left, userBefore.left);
                EXPECT_EQ(rectOf(IDC_REMEMBER).left - checkBefore.left, 0);
                MINMAXINFO limits{};
                ::SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
                EXPECT_EQ(limits.ptMinTrackSize.x, before.right - before.left);
                EXPECT_EQ(limits.ptMinTrackSize.y, before.bottom - before.top);
            }
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
