#include "UiTestSupport.h"

#include "TestSupport.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

namespace ui_testing {
namespace {

const UINT kMessageTimeoutMs = 5000;

struct DialogSearch {
    DWORD processId;
    const std::wstring* caption;  // null: any dialog
    int control;
    HWND found;
    int visible;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !::IsWindowVisible(window))
        return TRUE;
    ++search->visible;
    if (search->caption == nullptr)
        return TRUE;
    wchar_t className[64] = L"";
    ::GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"#32770" && TextOf(window) == *search->caption &&
        (search->control == 0 || ::GetDlgItem(window, search->control) != nullptr)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A 24-bit bottom-up bitmap file of the header and its pixel rows.
bool WriteBitmap(const std::wstring& path, const BITMAPINFOHEADER& info, const void* bits)
{
    const int size = ((info.biWidth * 3 + 3) & ~3) * info.biHeight;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(size);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes.append(static_cast<const char*>(bits), static_cast<size_t>(size));
    return testing_support::WriteBytes(path, bytes);
}

} // namespace

HWND FindDialog(DWORD processId, const std::wstring& caption, int control)
{
    DialogSearch search{processId, &caption, control, nullptr, 0};
    ::EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(DWORD processId, const std::wstring& caption, int control, DWORD limitMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(processId, caption, control)) != nullptr; }, limitMs);
    return found;
}

bool WaitUntilGone(HWND window, DWORD limitMs)
{
    return WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }, limitMs);
}

int CountVisibleWindows(DWORD processId)
{
    DialogSearch search{processId, nullptr, 0, nullptr, 0};
    ::EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.visible;
}

std::wstring TextOf(HWND window)
{
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return {};
    return std::wstring(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
}

std::wstring ControlText(HWND dialog, int id)
{
    const HWND control = ::GetDlgItem(dialog, id);
    return control != nullptr ? TextOf(control) : std::wstring();
}

bool WaitForControlText(HWND dialog, int id, const std::wstring& text, DWORD limitMs)
{
    return WaitUntil([&] { return ControlText(dialog, id) == text; }, limitMs);
}

BarState ReadBar(HWND dialog, int id)
{
    const HWND bar = ::GetDlgItem(dialog, id);
    BarState state;
    // Without a PBRANGE (its pointer would not reach the other process) the message returns the
    // asked end of the range.
    state.position = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
    state.high = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    state.state = static_cast<int>(::SendMessageW(bar, PBM_GETSTATE, 0, 0));
    return state;
}

void PressButton(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void PressKey(HWND dialog, int id, WPARAM key)
{
    const HWND control = ::GetDlgItem(dialog, id);
    ::PostMessageW(control, WM_KEYDOWN, key, 1);
    ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

void Type(HWND dialog, int id, const std::wstring& text)
{
    const HWND field = ::GetDlgItem(dialog, id);
    for (const wchar_t c : text)
        ::SendMessageW(field, WM_CHAR, c, 0);
}

namespace {

INPUT KeyInput(WORD key, wchar_t character, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = character;
    input.ki.dwFlags = flags;
    return input;
}

void Send(std::vector<INPUT> inputs)
{
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace

void PressKeys(std::initializer_list<WORD> keys)
{
    for (const WORD key : keys)
        Send({KeyInput(key, 0, 0), KeyInput(key, 0, KEYEVENTF_KEYUP)});
}

void PressAltWith(wchar_t letter)
{
    const WORD key = static_cast<WORD>(::towupper(letter));
    Send({KeyInput(VK_MENU, 0, 0), KeyInput(key, 0, 0), KeyInput(key, 0, KEYEVENTF_KEYUP),
          KeyInput(VK_MENU, 0, KEYEVENTF_KEYUP)});
}

void TypeOnKeyboard(const std::wstring& text)
{
    for (const wchar_t c : text)
        Send({KeyInput(0, c, KEYEVENTF_UNICODE), KeyInput(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)});
}

bool IsControlEnabled(HWND dialog, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

void SaveScreenshot(HWND window, const std::wstring& name)
{
    const std::wstring folder = testing_support::EnvironmentValue(L"ORVANTA_SCREENSHOT_DIR");
    if (folder.empty())
        return;
    ::SetForegroundWindow(window);  // an active caption, as a person sees it
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    ::Sleep(300);  // the other process paints on its own time
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    WriteBitmap(folder + L"\\" + name + L".bmp", info.bmiHeader, bits);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

bool RunningUnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
}

} // namespace ui_testing
