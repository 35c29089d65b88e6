#include "ui/StatusDialog.h"

#include "platform/resource.h"
#include "ui/DialogIds.h"

namespace orvanta {
namespace {

const UINT kCloseMessage = WM_USER + 1;
const DWORD kClosePollMs = 10;

} // namespace

StatusDialog::~StatusDialog()
{
    Close();
}

void StatusDialog::Show(const std::wstring& title, const std::wstring& text, bool showSkip)
{
    showSkip_ = showSkip;
    skipPressed_ = false;
    HWND window = window_;
    if (window == nullptr) {
        creatingThread_ = ::GetCurrentThreadId();
        window = CreateModeless(IDD_STATUS, ::GetActiveWindow());
        if (window == nullptr)
            return;
        window_ = window;
    } else {
        LayOutSkip();
    }
    ::SetWindowTextW(window, title.c_str());
    ::SetDlgItemTextW(window, IDC_STATUS_TEXT, text.c_str());
    ::EnableWindow(::GetDlgItem(window, IDCANCEL), TRUE);
}

void StatusDialog::Close()
{
    const HWND window = window_.exchange(nullptr);
    if (window == nullptr)
        return;
    if (::GetCurrentThreadId() == creatingThread_) {
        ::DestroyWindow(window);
        return;
    }
    // Only the creating thread may destroy it; it does when it next pumps its messages.
    ::PostMessageW(window, kCloseMessage, 0, 0);
    while (::IsWindow(window))
        ::Sleep(kClosePollMs);
}

void StatusDialog::LayOutSkip()
{
    const HWND window = Window();
    const HWND skip = ::GetDlgItem(window, IDCANCEL);
    const HWND text = ::GetDlgItem(window, IDC_STATUS_TEXT);
    ::ShowWindow(skip, showSkip_ ? SW_SHOW : SW_HIDE);
    ::InvalidateRect(skip, nullptr, TRUE);
    const RECT textRect = ControlRect(window, text);
    if (textRightBesideSkip_ < 0)
        textRightBesideSkip_ = textRect.right;
    const LONG right = showSkip_ ? textRightBesideSkip_ : ControlRect(window, skip).right;
    ::SetWindowPos(text, nullptr, 0, 0, right - textRect.left, textRect.bottom - textRect.top,
                   SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOMOVE);
}

bool StatusDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG:
        SetControlTexts(Window(), {{IDCANCEL, IDS_SKIP}});
        SetDialogIcon(Window());
        LayOutSkip();
        CenterWindow(Window());
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            skipPressed_ = true;
            ::EnableWindow(::GetDlgItem(Window(), IDCANCEL), FALSE);
            return true;
        }
        return false;
    case kCloseMessage:
        ::DestroyWindow(Window());
        return true;
    default:
        result = FALSE;
        return false;
    }
}

} // namespace orvanta
