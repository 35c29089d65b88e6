// A message box over a window that may have gone away.
#pragma once

#include <windows.h>

namespace orvanta {

// MessageBoxW over `owner`. An owner taken a moment earlier (the foreground window) can be gone
// by the time the box is made, and the box then fails at once (0, or -1 under Wine) with
// ERROR_INVALID_WINDOW_HANDLE: it is then shown without an owner. In a right-to-left display
// language the text reads and aligns from the right. Returns MessageBoxW's answer.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

} // namespace orvanta
