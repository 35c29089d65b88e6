// The process-wide reporter of errors that end a run: it builds the report's message and
// details, writes the whole report to the log when logging is on (and to the debugger), and
// shows the error report dialog through the function the entry installs. Platform code never
// shows a window itself: without an installed dialog function (a silent run, a test) the report
// only goes to the log.
#pragma once

#include "platform/Exception.h"

#include <windows.h>

#include <exception>
#include <string>

namespace orvanta {

struct ErrorReport {
    std::wstring kindName;
    std::wstring message;     // the text above the details, never empty
    bool fallbackMessage = false;  // message is string resource 65001 in the display language
    std::wstring details;     // the whole text, stack trace included
    std::wstring sourceFile;  // the file name only (text after the last path separator)
    int32_t sourceLine = 0;
};

// The dialog: true when the user pressed Close.
using ReportDialogFunction = bool (*)(HWND owner, const std::wstring& message, const std::wstring& details);

// The message of a report: the text before the trace marker without its trailing line breaks;
// for a translated fault (kind 7) and whenever it would be empty, string resource 65001.
ErrorReport BuildReport(IException& exception);
ErrorReport BuildStdReport(const std::exception& exception);
// "[EXCEPTION_UNHANDLED] (0x<code>) at address [0x<address>]\r\n" and the faulting context's
// trace; without exception information only the kind.
ErrorReport BuildUnhandledReport(const EXCEPTION_POINTERS* pointers);

// One report ends the run, whichever thread makes it: the first thread that reports (or enters
// the crash path) owns the end of the process. True when that is the calling thread, now or
// from before; false when another thread reports.
bool ClaimFatalReport();
// True when another thread has claimed the report.
bool AnotherThreadReports();
// Returns at once unless another thread has claimed the report. Then the run must neither go on
// nor end in another way (its cleanup, another exit code): the caller waits for that thread to
// end the process, and this never returns.
void WaitWhileAnotherThreadReports();

// The log entry of a report: "Error report [<kind>] <file>:<line>" (the position when known),
// then the message when the details do not begin with it, then the details.
std::wstring ReportLogText(const ErrorReport& report);

class ExceptionPresenter {
public:
    static ExceptionPresenter& Instance();

    void Present(IException& exception);
    void PresentStd(const std::exception& exception);
    void PresentUnhandled(const EXCEPTION_POINTERS* pointers);
    // Claims the report first; a thread that reports while another one does writes its report
    // to the log only and waits there for the end of the process (no second dialog).
    void PresentReport(const ErrorReport& report);

    // Null: no dialog (the default).
    void SetReportDialog(ReportDialogFunction function);

private:
    ExceptionPresenter() = default;
};

} // namespace orvanta
