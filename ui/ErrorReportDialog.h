// The error report dialog: the message beside the system's error icon, Close, and a "Details >>"
// button that opens a read-only box with the whole report and a Copy button. Built in memory
// (no template resource), resizable, modal on the calling thread.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

// Heights of the dialog in dialog units, from the number of lines of the message (its "\n" count
// plus one, kept between 3 and 30; each line 8.3 units, cut to whole units).
struct ErrorReportLayout {
    int lines = 0;
    int messageHeight = 0;
    int offset = 0;        // how far the button row moves down for lines beyond three
    int dialogHeight = 0;  // without the details
    int buttonRow = 0;
};
ErrorReportLayout LayoutForMessage(const std::wstring& message);

// Shows the dialog (owned by `owner` when given) and returns true when Close was pressed, false
// for Cancel or when the dialog could not be shown. Without details there is no Details button.
bool ShowErrorReport(HWND owner, const std::wstring& message, const std::wstring& details);

// Control ids, for tests that drive the dialog.
enum ErrorReportControl : int {
    ErrorReportIcon = 500,
    ErrorReportMessage = 501,
    ErrorReportDetailsBox = 502,
    ErrorReportDetailsButton = 503,
    ErrorReportCopyButton = 504,
};

} // namespace orvanta
