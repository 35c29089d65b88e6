#include "platform/ExceptionPresenter.h"

#include "platform/Logger.h"
#include "platform/Resources.h"
#include "platform/StackTrace.h"
#include "platform/Text.h"
#include "platform/resource.h"

#include <atomic>

namespace orvanta {
namespace {

std::atomic<ReportDialogFunction> reportDialog{nullptr};
// The thread that reports the error the run ends with; 0 before any.
std::atomic<DWORD> reportingThread{0};

// The thread that faulted may have died holding the log's lock: the report waits for it only
// this long.
const DWORD kLogWaitMs = 5000;

std::wstring WithoutTrailingLineBreaks(std::wstring text)
{
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring FallbackMessage(TextFor reader)
{
    return LoadStringResource(IDS_UNEXPECTED_ERROR, reader);
}

ErrorReport ReportFromText(const std::wstring& kindName, bool useFallbackMessage, const std::wstring& text,
                           const std::wstring& sourceFile, int32_t sourceLine)
{
    ErrorReport report;
    report.kindName = kindName;
    report.details = text;
    const size_t marker = text.find(kStackTraceMarker);
    report.message = useFallbackMessage ? std::wstring() : WithoutTrailingLineBreaks(text.substr(0, marker));
    if (report.message.empty()) {
        report.message = FallbackMessage(TextFor::Person);
        report.fallbackMessage = true;
    }
    report.sourceFile = FileNameOf(sourceFile);
    report.sourceLine = sourceLine;
    return report;
}

} // namespace

ErrorReport BuildReport(IException& exception)
{
    const std::wstring text = exception.GetText(true);
    std::wstring file;
    int32_t line = 0;
    if (const auto* own = dynamic_cast<const Exception*>(&exception)) {
        file = own->SourceFile();
        line = own->SourceLine();
    }
    return ReportFromText(exception.GetKindName(), exception.GetKind() == ExceptionSeh, text, file, line);
}

ErrorReport BuildStdReport(const std::exception& exception)
{
    std::wstring text = AnsiToWide(exception.what() != nullptr ? exception.what() : "") + L"\r\n";
    text += CurrentStackTrace(kMaximumTraceFrames);
    return ReportFromText(KindName(ExceptionStd), false, text, std::wstring(), 0);
}

ErrorReport BuildUnhandledReport(const EXCEPTION_POINTERS* pointers)
{
    std::wstring text = L"[" + KindName(ExceptionUnhandled) + L"] ";
    if (pointers != nullptr && pointers->ExceptionRecord != nullptr) {
        text += Format(L"(0x%.8x) at address [0x%.8Ix]\r\n", pointers->ExceptionRecord->ExceptionCode,
                       reinterpret_cast<ULONG_PTR>(pointers->ExceptionRecord->ExceptionAddress));
        CaptureStackTrace(text, pointers->ContextRecord, kMaximumTraceFrames);
    }
    return ReportFromText(KindName(ExceptionUnhandled), true, text, L"platform/FaultTranslation.cpp", 0);
}

bool ClaimFatalReport()
{
    const DWORD self = ::GetCurrentThreadId();
    DWORD owner = 0;
    return reportingThread.compare_exchange_strong(owner, self) || owner == self;
}

bool AnotherThreadReports()
{
    const DWORD owner = reportingThread.load();
    return owner != 0 && owner != ::GetCurrentThreadId();
}

void WaitWhileAnotherThreadReports()
{
    if (!AnotherThreadReports())
        return;
    for (;;)
        ::Sleep(INFINITE);
}

std::wstring ReportLogText(const ErrorReport& report)
{
    std::wstring text = L"Error report [" + report.kindName + L"]";
    if (!report.sourceFile.empty())
        text += L" " + report.sourceFile;
    if (report.sourceLine > 0)
        text += Format(L":%d", report.sourceLine);
    text += L"\r\n";
    if (report.fallbackMessage)
        text += FallbackMessage(TextFor::Log) + L"\r\n";
    else if (!StartsWith(report.details, report.message))
        text += report.message + L"\r\n";
    return text + report.details;
}

ExceptionPresenter& ExceptionPresenter::Instance()
{
    static ExceptionPresenter presenter;
    return presenter;
}

void ExceptionPresenter::Present(IException& exception)
{
    PresentReport(BuildReport(exception));
}

void ExceptionPresenter::PresentStd(const std::exception& exception)
{
    PresentReport(BuildStdReport(exception));
}

void ExceptionPresenter::PresentUnhandled(const EXCEPTION_POINTERS* pointers)
{
    PresentReport(BuildUnhandledReport(pointers));
}

void ExceptionPresenter::PresentReport(const ErrorReport& report)
{
    const bool first = ClaimFatalReport();
    const std::wstring text = ReportLogText(report);
    ::OutputDebugStringW(text.c_str());
    // Flushed: the dialog or the end of the process comes next, and the report is why the log
    // is read.
    if (LogEnabled)
        Logger::Instance().LogAndFlushWithin(text, kLogWaitMs);
    if (!first)
        WaitWhileAnotherThreadReports();
    if (const ReportDialogFunction dialog = reportDialog.load())
        dialog(nullptr, report.message, report.details);
}

void ExceptionPresenter::SetReportDialog(ReportDialogFunction function)
{
    reportDialog.store(function);
}

} // namespace orvanta
