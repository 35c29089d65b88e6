#include "ui/ErrorReportDialog.h"

#include "platform/SystemFunction.h"
#include "platform/resource.h"
#include "ui/DialogServices.h"

#include <algorithm>
#include <vector>

namespace orvanta {
namespace {

const DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_CENTER | DS_MODALFRAME | DS_SETFONT;
const short kDialogWidth = 350;
const short kButtonWidth = 62;  // room for the longer languages
const short kButtonHeight = 14;
const short kDetailsTop = 18;      // below the button row
const short kDetailsHeight = 200;
const short kCopyTop = 223;        // below the button row
const short kBottomMargin = 9;     // below the lowest buttons
const short kRightButtonX = 284;

// A dialog template built word by word (DLGTEMPLATE and DLGITEMTEMPLATE records).
class TemplateWriter {
public:
    void Header(DWORD style, DWORD exStyle, WORD controls, short cx, short cy, const wchar_t* title)
    {
        Dword(style);
        Dword(exStyle);
        Word(controls);
        Short(0);
        Short(0);
        Short(cx);
        Short(cy);
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Text(title);
        Word(8);  // DS_SETFONT: point size and face
        Text(L"MS Shell Dlg");
    }

    void Control(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* text)
    {
        while (words_.size() % 2 != 0)  // each item starts on a DWORD boundary
            Word(0);
        Dword(style | WS_CHILD);
        Dword(0);
        Short(x);
        Short(y);
        Short(cx);
        Short(cy);
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);  // no creation data
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Word(WORD value) { words_.push_back(value); }
    void Short(short value) { words_.push_back(static_cast<WORD>(value)); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const wchar_t* text)
    {
        for (; *text != L'\0'; ++text)
            Word(static_cast<WORD>(*text));
        Word(0);
    }

    std::vector<WORD> words_;
};

const WORD kButtonAtom = 0x0080;
const WORD kEditAtom = 0x0081;
const WORD kStaticAtom = 0x0082;

struct DialogState {
    std::wstring message;
    std::wstring details;
    ErrorReportLayout layout;
    bool expanded = false;
    SIZE collapsedMinimum{-1, -1};
    SIZE expandedMinimum{-1, -1};
    HFONT detailsFont = nullptr;

    ~DialogState()
    {
        if (detailsFont != nullptr)
            ::DeleteObject(detailsFont);
    }
};

int DialogUnitsY(HWND dialog, int units)
{
    RECT rect{0, 0, 0, units};
    ::MapDialogRect(dialog, &rect);
    return rect.bottom;
}

int DialogUnitsX(HWND dialog, int units)
{
    RECT rect{0, 0, units, 0};
    ::MapDialogRect(dialog, &rect);
    return rect.right;
}

void Place(HWND dialog, int id, int x, int y, int width, int height)
{
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, x, y, std::max(width, 0), std::max(height, 0),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(::GetDlgItem(dialog, id), nullptr, TRUE);
}

// Controls follow the dialog's edges: the message and the details box stretch, the buttons keep
// their distance from the edge they sit next to.
void Layout(HWND dialog, const DialogState& state)
{
    RECT client;
    ::GetClientRect(dialog, &client);
    const int width = client.right;
    const int height = client.bottom;
    const auto x = [&](int units) { return DialogUnitsX(dialog, units); };
    const auto y = [&](int units) { return DialogUnitsY(dialog, units); };

    Place(dialog, ErrorReportMessage, x(38), y(10), width - x(38) - x(6), y(state.layout.messageHeight));
    const int rightButton = width - x(kDialogWidth - kRightButtonX);
    const int buttonRow = state.expanded ? y(state.layout.buttonRow)
                                         : height - y(kButtonHeight + kBottomMargin);
    Place(dialog, IDOK, rightButton, buttonRow, x(kButtonWidth), y(kButtonHeight));
    if (state.details.empty())
        return;
    Place(dialog, ErrorReportDetailsButton, x(5), buttonRow, x(kButtonWidth), y(kButtonHeight));
    const int copyRow = height - y(kButtonHeight + kBottomMargin);
    const int detailsTop = buttonRow + y(kDetailsTop);
    Place(dialog, ErrorReportDetailsBox, x(4), detailsTop, width - x(8), copyRow - y(kCopyTop - kDetailsTop - kDetailsHeight) - detailsTop);
    Place(dialog, ErrorReportCopyButton, rightButton, copyRow, x(kButtonWidth), y(kButtonHeight));
}

HICON ErrorIcon()
{
    using LoadIconMetricFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    const auto loadIconMetric = GetLoadedFunction<LoadIconMetricFn>(L"comctl32.dll", "LoadIconMetric");
    HICON icon = nullptr;
    if (loadIconMetric != nullptr && SUCCEEDED(loadIconMetric(nullptr, IDI_ERROR, 1 /* LIM_LARGE */, &icon)))
        return icon;
    return static_cast<HICON>(::LoadImageW(nullptr, IDI_ERROR, IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}

SIZE WindowSize(HWND window)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void InitDialog(HWND dialog, DialogState& state)
{
    SetControlTexts(dialog, {{0, IDS_ERROR_TITLE}, {IDOK, IDS_CLOSE}, {ErrorReportDetailsButton, IDS_SHOW_DETAILS},
                             {ErrorReportCopyButton, IDS_COPY}});
    ::SendDlgItemMessageW(dialog, ErrorReportIcon, STM_SETICON, reinterpret_cast<WPARAM>(ErrorIcon()), 0);
    ::SetDlgItemTextW(dialog, ErrorReportMessage, state.message.c_str());
    if (!state.details.empty()) {
        ::SetDlgItemTextW(dialog, ErrorReportDetailsBox, state.details.c_str());
        const HDC screen = ::GetDC(dialog);
        const int height = ::MulDiv(9, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
        ::ReleaseDC(dialog, screen);
        state.detailsFont = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                          FIXED_PITCH | FF_MODERN, L"Courier New");
        ::SendDlgItemMessageW(dialog, ErrorReportDetailsBox, WM_SETFONT, reinterpret_cast<WPARAM>(state.detailsFont),
                              FALSE);
    }
    state.collapsedMinimum = WindowSize(dialog);
    Layout(dialog, state);
}

void ToggleDetails(HWND dialog, DialogState& state)
{
    const int show = state.expanded ? SW_HIDE : SW_SHOW;
    const SIZE size = WindowSize(dialog);
    RECT client;
    ::GetClientRect(dialog, &client);
    int height = size.cy;
    if (!state.expanded) {
        // Grow by the details box and the Copy row, from the height the dialog has now.
        const int wanted = DialogUnitsY(dialog, state.layout.buttonRow + kCopyTop + kButtonHeight + kBottomMargin);
        height += std::max(wanted - static_cast<int>(client.bottom), 0);
        state.expandedMinimum = SIZE{state.collapsedMinimum.cx, state.collapsedMinimum.cy + wanted -
                                                                    DialogUnitsY(dialog, state.layout.dialogHeight)};
    } else {
        height = state.collapsedMinimum.cy;
    }
    state.expanded = !state.expanded;
    ::ShowWindow(::GetDlgItem(dialog, ErrorReportDetailsBox), show);
    ::ShowWindow(::GetDlgItem(dialog, ErrorReportCopyButton), show);
    SetControlTexts(dialog, {{ErrorReportDetailsButton, static_cast<UINT>(state.expanded ? IDS_HIDE_DETAILS : IDS_SHOW_DETAILS)}});
    ::SetWindowPos(dialog, nullptr, 0, 0, size.cx, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout(dialog, state);
}

void CopyDetails(HWND dialog)
{
    const HWND box = ::GetDlgItem(dialog, ErrorReportDetailsBox);
    ::SendMessageW(box, EM_SETSEL, 0, -1);
    ::SendMessageW(box, WM_COPY, 0, 0);
    ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(-1), 0);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<DialogState*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        InitDialog(dialog, *state);
        return TRUE;
    case WM_SIZE:
        if (state != nullptr && wParam != SIZE_MINIMIZED)
            Layout(dialog, *state);
        return TRUE;
    case WM_GETMINMAXINFO:
        if (state != nullptr) {
            const SIZE minimum = state->expanded ? state->expandedMinimum : state->collapsedMinimum;
            if (minimum.cx != -1 && minimum.cy != -1) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = POINT{minimum.cx, minimum.cy};
            }
        }
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            ::EndDialog(dialog, TRUE);
            return TRUE;
        case IDCANCEL:
            ::EndDialog(dialog, FALSE);
            return TRUE;
        case ErrorReportDetailsButton:
            if (state != nullptr)
                ToggleDetails(dialog, *state);
            return TRUE;
        case ErrorReportCopyButton:
            CopyDetails(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

ErrorReportLayout LayoutForMessage(const std::wstring& message)
{
    ErrorReportLayout layout;
    const int lines = static_cast<int>(std::count(message.begin(), message.end(), L'\n')) + 1;
    layout.lines = std::min(std::max(lines, 3), 30);
    layout.messageHeight = static_cast<int>(layout.lines * 8.3);
    layout.offset = static_cast<int>((layout.lines - 3) * 8.3);
    layout.dialogHeight = layout.offset + 60;
    layout.buttonRow = layout.offset + 37;
    return layout;
}

bool ShowErrorReport(HWND owner, const std::wstring& message, const std::wstring& details)
{
    DialogState state;
    state.message = message;
    state.details = details;
    state.layout = LayoutForMessage(message);
    const ErrorReportLayout& layout = state.layout;
    const short row = static_cast<short>(layout.buttonRow);
    const bool withDetails = !details.empty();

    TemplateWriter writer;
    writer.Header(kDialogStyle, owner == nullptr ? WS_EX_APPWINDOW : 0, withDetails ? 6 : 3, kDialogWidth,
                  static_cast<short>(layout.dialogHeight), L"");
    writer.Control(WS_VISIBLE | SS_ICON, 10, 10, 21, 21, ErrorReportIcon, kStaticAtom, L"");
    writer.Control(WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 38, 10, 306, static_cast<short>(layout.messageHeight),
                   ErrorReportMessage, kStaticAtom, L"");
    writer.Control(WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, kRightButtonX, row, kButtonWidth, kButtonHeight, IDOK,
                   kButtonAtom, L"");
    if (withDetails) {
        writer.Control(WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, row, kButtonWidth, kButtonHeight,
                       ErrorReportDetailsButton, kButtonAtom, L"");
        writer.Control(WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY |
                           ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                       4, static_cast<short>(row + kDetailsTop), 342, kDetailsHeight, ErrorReportDetailsBox,
                       kEditAtom, L"");
        writer.Control(WS_TABSTOP | BS_PUSHBUTTON, kRightButtonX, static_cast<short>(row + kCopyTop), kButtonWidth,
                       kButtonHeight, ErrorReportCopyButton, kButtonAtom, L"");
    }
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), writer.Get(), owner, DialogProc,
                                                     reinterpret_cast<LPARAM>(&state));
    return result == TRUE;
}

} // namespace orvanta
