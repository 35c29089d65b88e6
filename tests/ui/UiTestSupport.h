// Watching and driving the chainer's windows from the test program, as a person would: finding
// dialogs by class and caption, reading texts and the progress bar, pressing buttons, typing,
// and saving screenshots.
#pragma once

#include "TestSupport.h"

#include <windows.h>

#include <initializer_list>
#include <string>

namespace ui_testing {

const DWORD kWindowWaitMs = 30000;

using testing_support::Gate;
using testing_support::StartedProcess;
using testing_support::WaitUntil;

// A visible dialog (#32770) of the process whose caption is `caption` and, when `control` is
// not 0, that has that control; null when there is none.
HWND FindDialog(DWORD processId, const std::wstring& caption, int control = 0);
// The same, waiting for it (bounded).
HWND WaitForDialog(DWORD processId, const std::wstring& caption, int control = 0, DWORD limitMs = kWindowWaitMs);
// Waits (bounded) until the window is gone.
bool WaitUntilGone(HWND window, DWORD limitMs = kWindowWaitMs);
// Visible top-level windows of the process.
int CountVisibleWindows(DWORD processId);

// WM_GETTEXT, which reaches controls of another process.
std::wstring TextOf(HWND window);
std::wstring ControlText(HWND dialog, int id);
// Waits (bounded) until the control shows `text`.
bool WaitForControlText(HWND dialog, int id, const std::wstring& text, DWORD limitMs = kWindowWaitMs);

struct BarState {
    int position = 0;
    int high = 0;   // the range's upper end (the lower end is 0)
    int state = 0;  // PBST_*
};
BarState ReadBar(HWND dialog, int id);

// The click of a button as the dialog receives it.
void PressButton(HWND dialog, int id);
// A key (VK_RETURN, VK_ESCAPE) pressed in the dialog's control: the dialog's keyboard handling
// decides what it does.
void PressKey(HWND dialog, int id, WPARAM key);
// Types `text` into an edit control character by character.
void Type(HWND dialog, int id, const std::wstring& text);
bool IsControlEnabled(HWND dialog, int id);

// A keyboard, as SendInput gives it to the foreground window: each key pressed and released, Alt
// held with a letter, and text typed character by character.
void PressKeys(std::initializer_list<WORD> keys);
void PressAltWith(wchar_t letter);
void TypeOnKeyboard(const std::wstring& text);

// Saves the window as it is on the screen to ORVANTA_SCREENSHOT_DIR\<name>.bmp when that
// variable names a folder; does nothing otherwise.
void SaveScreenshot(HWND window, const std::wstring& name);

// True under Wine, whose progress bar keeps no error state (PBM_GETSTATE is always normal).
bool RunningUnderWine();

} // namespace ui_testing
