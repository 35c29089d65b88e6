#include "ui/DialogServices.h"

#include "run/Chainer.h"
#include "platform/CriticalSection.h"
#include "platform/Logger.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/SystemFunction.h"
#include "platform/resource.h"
#include "ui/DialogIds.h"

#include <algorithm>

namespace orvanta {
namespace {

// Objects registered for a window that their thread is about to create.
CriticalSection g_bindingLock;
std::vector<std::pair<DWORD, DialogObject*>> g_pendingBindings;

void RegisterBinding(DialogObject* object)
{
    const CriticalSectionLock lock(g_bindingLock);
    g_pendingBindings.emplace_back(::GetCurrentThreadId(), object);
}

DialogObject* TakeBinding()
{
    const CriticalSectionLock lock(g_bindingLock);
    const DWORD thread = ::GetCurrentThreadId();
    for (auto entry = g_pendingBindings.rbegin(); entry != g_pendingBindings.rend(); ++entry) {
        if (entry->first == thread) {
            DialogObject* object = entry->second;
            g_pendingBindings.erase(std::next(entry).base());
            return object;
        }
    }
    return nullptr;
}

// The creation failed before the first message: nothing took the entry.
void DropBinding(DialogObject* object)
{
    const CriticalSectionLock lock(g_bindingLock);
    g_pendingBindings.erase(std::remove_if(g_pendingBindings.begin(), g_pendingBindings.end(),
                                           [object](const std::pair<DWORD, DialogObject*>& entry) {
                                               return entry.second == object;
                                           }),
                            g_pendingBindings.end());
}

RECT WorkAreaNear(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return monitor.rcWork;
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

SIZE ClientSize(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

int GripSize(HWND window)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = GetLoadedFunction<GetSystemMetricsForDpiFn>(L"user32", "GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(SM_CXVSCROLL, WindowDpi(window)) : ::GetSystemMetrics(SM_CXVSCROLL);
}

// Adds a sizing border while keeping the client area as the template made it.
void MakeResizable(HWND dialog)
{
    const SIZE client = ClientSize(dialog);
    const LONG_PTR style = ::GetWindowLongPtrW(dialog, GWL_STYLE) | WS_THICKFRAME;
    const auto extendedStyle = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    ::SetWindowLongPtrW(dialog, GWL_STYLE, style);
    RECT frame{0, 0, client.cx, client.cy};
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = GetLoadedFunction<AdjustForDpiFn>(L"user32", "AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr)
        adjustForDpi(&frame, static_cast<DWORD>(style), FALSE, extendedStyle, WindowDpi(dialog));
    else
        ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, extendedStyle);
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

DialogObject::~DialogObject()
{
    DropBinding(this);
}

INT_PTR DialogObject::RunModal(UINT id, HWND owner)
{
    RegisterBinding(this);
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, &DialogObject::Procedure, 0);
    DropBinding(this);
    return result;
}

HWND DialogObject::CreateModeless(UINT id, HWND owner)
{
    RegisterBinding(this);
    const HWND window =
        ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, &DialogObject::Procedure, 0);
    DropBinding(this);
    return window;
}

INT_PTR CALLBACK DialogObject::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* object = reinterpret_cast<DialogObject*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (object == nullptr) {
        object = TakeBinding();
        if (object == nullptr)
            return FALSE;
        object->window_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
    }
    INT_PTR result = TRUE;
    const bool handled = object->HandleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        object->window_ = nullptr;
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
    }
    return handled ? result : FALSE;
}

void CenterWindow(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0) {
        const HWND parent = ::GetParent(window);
        RECT client{};
        ::GetClientRect(parent, &client);
        ::SetWindowPos(window, nullptr, (client.right - width) / 2, (client.bottom - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }

    const RECT area = WorkAreaNear(window);
    RECT around = area;
    const HWND owner = ::GetWindow(window, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    const int left = std::max<int>(area.left, std::min<int>(around.left + (around.right - around.left - width) / 2,
                                                            area.right - width));
    const int top = std::max<int>(area.top, std::min<int>(around.top + (around.bottom - around.top - height) / 2,
                                                          area.bottom - height));
    ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetDialogIcon(HWND window)
{
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    // Shared icons belong to the system's cache: nothing to destroy.
    const auto big = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_CHAINER), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                     LR_SHARED));
    const auto small = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_CHAINER), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (big != nullptr)
        ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small != nullptr)
        ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void SetControlTexts(HWND dialog, std::initializer_list<ControlTextId> texts)
{
    for (const ControlTextId& text : texts) {
        const std::wstring value = LoadStringResource(text.text);
        if (text.control == 0)
            ::SetWindowTextW(dialog, value.c_str());
        else
            ::SetDlgItemTextW(dialog, text.control, value.c_str());
    }
}

RECT ControlRect(HWND dialog, HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = GetLoadedFunction<GetDpiForWindowFn>(L"user32", "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void ResizableLayout::Attach(HWND dialog, ControlAnchors anchors)
{
    dialog_ = dialog;
    anchors_ = std::move(anchors);
    MakeResizable(dialog);
    const SIZE client = ClientSize(dialog);
    const int grip = GripSize(dialog);
    const DWORD gripStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP | SBS_SIZEBOX | SBS_SIZEGRIP |
                            SBS_SIZEBOXBOTTOMRIGHTALIGN;
    grip_ = ::CreateWindowExW(0, L"SCROLLBAR", nullptr, gripStyle, client.cx - grip, client.cy - grip, grip, grip,
                              dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SIZE_GRIP)),
                              ::GetModuleHandleW(nullptr), nullptr);
    RECT window{};
    ::GetWindowRect(dialog, &window);
    minimumSize_ = SIZE{window.right - window.left, window.bottom - window.top};
    dpi_ = WindowDpi(dialog);
    Record();
}

void ResizableLayout::Record()
{
    placements_.clear();
    recordedClient_ = ClientSize(dialog_);
    for (const auto& anchor : anchors_) {
        const HWND control = ::GetDlgItem(dialog_, anchor.first);
        if (control != nullptr)
            placements_.push_back(Placement{control, anchor.second, ControlRect(dialog_, control)});
    }
    if (grip_ != nullptr)
        placements_.push_back(Placement{grip_, MoveRight | MoveDown, ControlRect(dialog_, grip_)});
}

void ResizableLayout::OnSize(WPARAM type)
{
    if (dialog_ == nullptr)
        return;
    if (grip_ != nullptr && type != SIZE_MINIMIZED)
        ::ShowWindow(grip_, type == SIZE_MAXIMIZED ? SW_HIDE : SW_SHOW);
    if (type == SIZE_MINIMIZED)
        return;
    const SIZE client = ClientSize(dialog_);
    const int dx = client.cx - recordedClient_.cx;
    const int dy = client.cy - recordedClient_.cy;
    for (const Placement& placement : placements_) {
        RECT rect = placement.rect;
        if ((placement.anchors & MoveRight) != 0)
            ::OffsetRect(&rect, dx, 0);
        if ((placement.anchors & MoveDown) != 0)
            ::OffsetRect(&rect, 0, dy);
        if ((placement.anchors & StretchRight) != 0)
            rect.right += dx;
        if ((placement.anchors & StretchDown) != 0)
            rect.bottom += dy;
        ::SetWindowPos(placement.control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(placement.control, nullptr, TRUE);
    }
}

void ResizableLayout::OnGetMinMaxInfo(MINMAXINFO& info) const
{
    if (minimumSize_.cx == -1 || minimumSize_.cy == -1)
        return;
    info.ptMinTrackSize.x = minimumSize_.cx;
    info.ptMinTrackSize.y = minimumSize_.cy;
}

void ResizableLayout::OnDpiChanged(UINT newDpi)
{
    if (dialog_ == nullptr || newDpi == 0 || newDpi == dpi_)
        return;
    minimumSize_.cx = ::MulDiv(minimumSize_.cx, static_cast<int>(newDpi), static_cast<int>(dpi_));
    minimumSize_.cy = ::MulDiv(minimumSize_.cy, static_cast<int>(newDpi), static_cast<int>(dpi_));
    dpi_ = newDpi;
}

void ShowErrorMessage(const std::wstring& text)
{
    LogLine(text);
    if (!InterfaceShown()) {
        ::OutputDebugStringW(text.c_str());
        return;
    }
    HWND owner = ::GetActiveWindow();
    const bool foreground = owner == nullptr;
    if (foreground)
        owner = ::GetForegroundWindow();
    ShowMessageBox(owner, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
    if (foreground && owner != nullptr)
        ::SetForegroundWindow(owner);
}

} // namespace orvanta
