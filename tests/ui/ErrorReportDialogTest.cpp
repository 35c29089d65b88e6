// The error report dialog, opened for real (under Xvfb in the test run): its layout rules, the
// Details button, Copy (read back from the clipboard), resizing and Close.
#include "ui/ErrorReportDialog.h"

#include "ChainerPackage.h"
#include "DownloadTestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvanta;
using namespace ui_testing;

namespace {

const wchar_t kMessage[] = L"Setup has stopped because of an unexpected error.";
const wchar_t kDetails[] = L"ACCESS_VIOLATION (0xc0000005) at address [0x00401000]\r\n"
                           L"\r\n*** Stack Trace (x64) ***\r\n\r\n[0x00401000]  ----- -> \r\n"
                           L"[0x00400000]  MODULE_BASE_ADDRESS\r\n";

struct DialogRun {
    std::wstring message;
    std::wstring details;
    bool result = false;
};

DWORD WINAPI ShowDialog(void* parameter)
{
    auto& run = *static_cast<DialogRun*>(parameter);
    run.result = ShowErrorReport(nullptr, run.message, run.details);
    return 0;
}

bool ControlVisible(HWND dialog, int id)
{
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}

// Synchronous, unlike PressButton: the test looks at the result right after.
void Click(HWND dialog, int id)
{
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

SIZE WindowSize(HWND window)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

void EmptyTheClipboard()
{
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

class ErrorReportDialogTest : public ::testing::Test {
protected:
    HWND Open(const std::wstring& message, const std::wstring& details)
    {
        run.message = message;
        run.details = details;
        thread = ::CreateThread(nullptr, 0, ShowDialog, &run, 0, nullptr);
        return WaitForDialog(::GetCurrentProcessId(), L"Error");
    }
    // True when the dialog's thread ended within ten seconds.
    bool Closed()
    {
        const bool ended = ::WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
        ::CloseHandle(thread);
        thread = nullptr;
        return ended;
    }

    DialogRun run;
    HANDLE thread = nullptr;
};

} // namespace

TEST(ErrorReportLayout, BetweenThreeAndThirtyMessageLinesSetTheHeights)
{
    const auto layoutFor = [](int newlines) { return LayoutForMessage(L"line" + std::wstring(newlines, L'\n')); };
    EXPECT_EQ(layoutFor(0).lines, 3);  // one line still gets three
    EXPECT_EQ(layoutFor(2).dialogHeight, layoutFor(0).dialogHeight);
    EXPECT_EQ(layoutFor(4).lines, 5);
    EXPECT_GT(layoutFor(4).messageHeight, layoutFor(2).messageHeight);
    EXPECT_EQ(layoutFor(4).buttonRow - layoutFor(2).buttonRow, layoutFor(4).offset - layoutFor(2).offset);
    EXPECT_EQ(layoutFor(39).lines, 30);  // forty lines are cut to thirty
    EXPECT_EQ(layoutFor(60).dialogHeight, layoutFor(39).dialogHeight);
}

TEST_F(ErrorReportDialogTest, DetailsOpenCopyToTheClipboardAndCloseAgain)
{
    const HWND dialog = Open(kMessage, kDetails);
    ASSERT_NE(dialog, nullptr) << "the dialog did not open";
    SaveScreenshot(dialog, L"error-report-collapsed");
    EXPECT_EQ(ControlText(dialog, ErrorReportMessage), kMessage);
    EXPECT_EQ(ControlText(dialog, ErrorReportDetailsButton), L"&Details >>");
    EXPECT_EQ(ControlText(dialog, IDOK), L"Close");
    EXPECT_FALSE(ControlVisible(dialog, ErrorReportDetailsBox));
    EXPECT_FALSE(ControlVisible(dialog, ErrorReportCopyButton));
    EXPECT_NE(::SendDlgItemMessageW(dialog, ErrorReportIcon, STM_GETICON, 0, 0), 0);
    const SIZE collapsed = WindowSize(dialog);

    Click(dialog, ErrorReportDetailsButton);
    EXPECT_EQ(ControlText(dialog, ErrorReportDetailsButton), L"&Details <<");
    EXPECT_TRUE(ControlVisible(dialog, ErrorReportDetailsBox));
    EXPECT_TRUE(ControlVisible(dialog, ErrorReportCopyButton));
    const SIZE expanded = WindowSize(dialog);
    EXPECT_GT(expanded.cy, collapsed.cy);
    SaveScreenshot(dialog, L"error-report-details");

    EmptyTheClipboard();
    Click(dialog, ErrorReportCopyButton);
    EXPECT_EQ(ClipboardText(), kDetails);
    DWORD start = 0;
    DWORD end = 0;
    ::SendDlgItemMessageW(dialog, ErrorReportDetailsBox, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                          reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end) << "the selection stays after copying";

    // Wider makes the details box wider; smaller than at opening is not possible.
    RECT before;
    ::GetWindowRect(::GetDlgItem(dialog, ErrorReportDetailsBox), &before);
    ::SetWindowPos(dialog, nullptr, 0, 0, expanded.cx + 100, expanded.cy + 50, SWP_NOMOVE | SWP_NOZORDER);
    RECT after;
    ::GetWindowRect(::GetDlgItem(dialog, ErrorReportDetailsBox), &after);
    EXPECT_EQ((after.right - after.left) - (before.right - before.left), 100);
    EXPECT_EQ((after.bottom - after.top) - (before.bottom - before.top), 50);
    MINMAXINFO limits{};
    ::SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_GE(limits.ptMinTrackSize.x, collapsed.cx);
    EXPECT_GE(limits.ptMinTrackSize.y, collapsed.cy);

    Click(dialog, ErrorReportDetailsButton);
    EXPECT_EQ(ControlText(dialog, ErrorReportDetailsButton), L"&Details >>");
    EXPECT_FALSE(ControlVisible(dialog, ErrorReportDetailsBox));
    EXPECT_EQ(WindowSize(dialog).cy, collapsed.cy);

    Click(dialog, IDOK);
    ASSERT_TRUE(Closed());
    EXPECT_TRUE(run.result);
}

TEST_F(ErrorReportDialogTest, WithoutDetailsThereIsNoDetailsButtonAndCancelIsNotClose)
{
    const HWND dialog = Open(L"One line", L"");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(::GetDlgItem(dialog, ErrorReportDetailsButton), nullptr);
    EXPECT_EQ(::GetDlgItem(dialog, ErrorReportDetailsBox), nullptr);
    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Closed());
    EXPECT_FALSE(run.result);
}

// The test build of the chainer faulting in a run: silent, it ends at once with 1603 although a
// display is there; with the basic interface its report dialog waits for Close, whichever thread
// faulted, and nothing else goes on meanwhile: no other window, no cleanup.
class FaultingRunWithDisplay : public ErrorReportDialogTest {
protected:
    void TearDown() override { ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", nullptr); }

    // A download with a digest to compute, for the modes that fault during one.
    void WritePackage(const std::wstring& options, const wchar_t* mode)
    {
        ::SetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", mode);
        package.WritePrerequisites({L"Options=" + options, L"DownloadFolder=" + package.Folder() + L"\\downloads"},
                                   {{L"[First]", L"SearchType1=7",
                                     L"SearchString1=HKCU\\Software\\OrvantaCrashRun\\Missing",
                                     L"Url=" + download_testing::Servers().NginxUrl(L"small.bin"),
                                     L"MD5=00000000000000000000000000000000"}});
        ::DeleteFileW(package.LogPath().c_str());
    }

    size_t ReportsInLog() const
    {
        return testing_support::CountOf(testing_support::ReadUtf16File(package.LogPath()), L"Error report [");
    }

    testing_support::ChainerPackage package{L"setup.exe", L"ORVANTA_FAULT_CHAINER"};
};

TEST_F(FaultingRunWithDisplay, SilentRunNeverWaitsForADialogABasicRunShowsTheReportUntilClosed)
{
    REQUIRE_TEST_SERVERS();
    WritePackage(L"q", L"worker-null-read");
    EXPECT_EQ(package.RunForExitCode(), 1603u) << "the silent run waited";

    // The search worker, WinINet's status callback, a digest worker; a fault on another thread
    // while the report is shown, which adds its report to the log but no dialog; a run that
    // would end (nothing to install) while a thread it never waits for reports its fault.
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"worker-null-read", L"Error report [SEH_AV_READ_NULLPTR]"},
        {L"status-callback", L"Error report [SEH_AV_READ_NULLPTR]"},
        {L"digest-worker", L"Error report [SEH_AV_READ_NULLPTR]"},
        {L"second-fault", L"Error report [SEH_AV_READ_NULLPTR]"},
        {L"fault-while-ending", L"Error report [EXCEPTION_UNHANDLED]"},
    };
    for (const auto& [mode, heading] : rows) {
        WritePackage(L"b", mode);
        StartedProcess chainer(L"\"" + package.ExePath() + L"\"");
        ASSERT_TRUE(chainer.Started());
        const HWND dialog = WaitForDialog(chainer.Id(), L"Error", 0, 60000);
        EXPECT_NE(dialog, nullptr) << "no report dialog: " << mode;
        if (dialog != nullptr) {
            EXPECT_EQ(ControlText(dialog, ErrorReportMessage),
                      L"Setup has stopped because of an unexpected error. The details below help the package author.");
            // The whole report is in the log before anyone closes the dialog, and the run has
            // stopped: its other windows are gone and nothing was cleaned up.
            EXPECT_NE(testing_support::ReadUtf16File(package.LogPath()).find(heading), std::wstring::npos) << mode;
            EXPECT_TRUE(WaitUntil([&] { return CountVisibleWindows(chainer.Id()) == 1; })) << mode;
            EXPECT_TRUE(testing_support::FileExists(package.IniPath())) << mode;
            if (wcscmp(mode, L"second-fault") == 0) {
                EXPECT_TRUE(WaitUntil([&] { return ReportsInLog() == 2; })) << "no second report";
                EXPECT_FALSE(WaitUntil([&] { return CountVisibleWindows(chainer.Id()) > 1; }, 2000));
            }
            if (wcscmp(mode, L"worker-null-read") == 0)
                SaveScreenshot(dialog, L"error-report-run");
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        }
        DWORD exitCode = 0;
        ASSERT_TRUE(chainer.Wait(exitCode, 30000)) << mode;
        EXPECT_EQ(exitCode, 1603u) << mode << "\n" << testing_support::ReadUtf16File(package.LogPath());
        EXPECT_TRUE(testing_support::FileExists(package.IniPath())) << mode;
    }
}
