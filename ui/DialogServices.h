// What every dialog of the chainer shares: the object bound to its window, centring, the
// dialog icon, the layout of a resizable dialog and the error message.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace orvanta {

// A dialog whose messages go to an object. The object is bound to its window through the
// creating thread: it is registered before the creation call, and the first message that the
// new window receives on that thread binds it. Messages the object does not handle get the
// default dialog processing.
class DialogObject {
public:
    DialogObject() = default;
    virtual ~DialogObject();
    DialogObject(const DialogObject&) = delete;
    DialogObject& operator=(const DialogObject&) = delete;

    // The window, on the thread that created it; null before creation and after destruction.
    HWND Window() const { return window_; }

protected:
    // DialogBoxParamW with the template `id`: the end value, or -1 when it could not be created.
    INT_PTR RunModal(UINT id, HWND owner);
    // CreateDialogParamW with the template `id`; null when it could not be created.
    HWND CreateModeless(UINT id, HWND owner);
    // Returns true for a message it handled, with the dialog procedure's answer in `result`
    // (TRUE unless set).
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// A child window is centred in its parent's client area. A top-level window is centred over
// its owner when the owner is visible and not minimized, otherwise in the work area of the
// nearest monitor; it is kept inside that work area.
void CenterWindow(HWND window);

// The chainer's icon, big and small, as the window's icon.
void SetDialogIcon(HWND window);

// Gives each listed control its text from the string table in the display language (an id of
// 0 is the dialog's caption): the templates carry no texts of their own.
struct ControlTextId {
    int control;
    UINT text;
};
void SetControlTexts(HWND dialog, std::initializer_list<ControlTextId> texts);

// The control's rectangle in the client coordinates of its dialog.
RECT ControlRect(HWND dialog, HWND control);

// The scale of the window's monitor in dots per inch (96 where the system cannot tell).
UINT WindowDpi(HWND window);

// Keeps the controls of a resizable dialog in place while it is resized: a control moves with
// the right or bottom edge of the client area, or stretches with it, as its anchors say. The
// dialog gets a sizing border, a size grip and its first size as its smallest size.
class ResizableLayout {
public:
    enum Anchor : unsigned { Fixed = 0, MoveRight = 1, MoveDown = 2, StretchRight = 4, StretchDown = 8 };
    using ControlAnchors = std::vector<std::pair<int, unsigned>>;

    // At WM_INITDIALOG. Controls not listed stay where they are.
    void Attach(HWND dialog, ControlAnchors anchors);
    // WM_SIZE: the grip hides while maximized; the controls follow unless minimized.
    void OnSize(WPARAM type);
    // WM_GETMINMAXINFO.
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    // WM_DPICHANGED: the smallest size follows the new scale; positions are taken again once
    // the system has scaled the dialog.
    void OnDpiChanged(UINT newDpi);
    void Record();

private:
    struct Placement {
        HWND control;
        unsigned anchors;
        RECT rect;  // in client coordinates when recorded
    };

    HWND dialog_ = nullptr;
    HWND grip_ = nullptr;
    ControlAnchors anchors_;
    std::vector<Placement> placements_;
    SIZE recordedClient_{};
    SIZE minimumSize_{-1, -1};
    UINT dpi_ = 96;
};

// The error message: written to the log; with an interface shown, a message box with an error
// icon owned by the active window (or else by the foreground window, which is brought back to
// the front afterwards); without one, only the debugger output.
void ShowErrorMessage(const std::wstring& text);

} // namespace orvanta
