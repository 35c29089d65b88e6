#include "platform/FaultTranslation.h"

#include "platform/ExceptionPresenter.h"
#include "platform/StackTrace.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <atomic>
#include <memory>
#include <new>

#if defined(_MSC_VER)
#include <eh.h>
#endif

namespace orvanta {
namespace {

const wchar_t kThisFile[] = L"platform/FaultTranslation.cpp";

struct FaultName {
    DWORD code;
    const wchar_t* name;
};

const FaultName kFaultNames[] = {
    {0x80000001, L"GUARD_PAGE"},
    {0x80000002, L"DATATYPE_MISALIGNMENT"},
    {0x80000003, L"BREAKPOINT"},
    {0x80000004, L"SINGLE_STEP"},
    {0xC0000005, L"ACCESS_VIOLATION"},
    {0xC0000006, L"IN_PAGE_ERROR"},
    {0xC0000008, L"INVALID_HANDLE"},
    {0xC000001D, L"ILLEGAL_INSTRUCTION"},
    {0xC0000025, L"NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, L"INVALID_DISPOSITION"},
    {0xC000008C, L"ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, L"FLT_DENORMAL_OPERAND"},
    {0xC000008E, L"FLT_DIVIDE_BY_ZERO"},
    {0xC000008F, L"FLT_INEXACT_RESULT"},
    {0xC0000090, L"FLT_INVALID_OPERATION"},
    {0xC0000091, L"FLT_OVERFLOW"},
    {0xC0000092, L"FLT_STACK_CHECK"},
    {0xC0000093, L"FLT_UNDERFLOW"},
    {0xC0000094, L"INT_DIVIDE_BY_ZERO"},
    {0xC0000095, L"INT_OVERFLOW"},
    {0xC0000096, L"PRIV_INSTRUCTION"},
    {0xC00000FD, L"STACK_OVERFLOW"},
};

std::wstring Trimmed(const std::wstring& text)
{
    const wchar_t* blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// "file:line" of the first frame of a trace, when symbols gave one.
bool FirstFramePosition(const std::wstring& text, std::wstring& file, int32_t& line)
{
    const size_t marker = text.find(kStackTraceMarker);
    if (marker == std::wstring::npos)
        return false;
    const size_t start = marker + wcslen(kStackTraceMarker);
    const std::wstring frame = text.substr(start, text.find(L"\r\n", start) - start);
    const size_t arrow = frame.find(L" -> ");
    if (arrow == std::wstring::npos)
        return false;
    const std::wstring position = Trimmed(frame.substr(arrow + 4));
    const size_t colon = position.rfind(L':');
    if (position.empty() || colon == std::wstring::npos || colon == 0)
        return false;
    file = position.substr(0, colon);
    line = static_cast<int32_t>(wcstol(position.c_str() + colon + 1, nullptr, 10));
    return true;
}

// A stack overflow leaves the faulting thread almost no stack: the description (symbol loading
// and all) is built on a thread of its own while the faulting one waits.
struct DescribeRequest {
    const EXCEPTION_RECORD* record;
    const CONTEXT* context;
    std::unique_ptr<SehException> result;
};

DWORD WINAPI DescribeThread(void* parameter)
{
    auto& request = *static_cast<DescribeRequest*>(parameter);
    try {
        request.result.reset(new SehException(DescribeFault(*request.record, *request.context)));
    } catch (...) {
    }
    return 0;
}

// Null when not even the description could be made (no memory, no thread).
SehException* DescribeFaultSafely(const EXCEPTION_RECORD& record, const CONTEXT& context) noexcept
{
    if (record.ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
        try {
            return new SehException(DescribeFault(record, context));
        } catch (...) {
            return nullptr;
        }
    }
    DescribeRequest request{&record, &context, nullptr};
    const UniqueHandle thread(::CreateThread(nullptr, 0, DescribeThread, &request, 0, nullptr));
    if (!thread)
        return nullptr;
    ::WaitForSingleObject(thread.Get(), INFINITE);
    return request.result.release();
}

Exception UnidentifiedFault()
{
    return Exception(L"Unidentified SEH Exception !", kDefaultExceptionCode, kThisFile, __LINE__);
}

#if defined(_MSC_VER)

void __cdecl TranslateFault(unsigned int, EXCEPTION_POINTERS* pointers)
{
    if (pointers == nullptr || pointers->ExceptionRecord == nullptr || pointers->ContextRecord == nullptr)
        throw UnidentifiedFault();
    std::unique_ptr<SehException> fault(DescribeFaultSafely(*pointers->ExceptionRecord, *pointers->ContextRecord));
    if (!fault)
        throw UnidentifiedFault();
    throw SehException(*fault);
}

class TranslatorScope {
public:
    TranslatorScope() : previous_(_set_se_translator(TranslateFault)) {}
    ~TranslatorScope() { _set_se_translator(previous_); }
    TranslatorScope(const TranslatorScope&) = delete;
    TranslatorScope& operator=(const TranslatorScope&) = delete;

private:
    _se_translator_function previous_;
};

#else

// The recovery point of one RunTranslatingFaults frame; the innermost one of each thread is kept
// in a thread-local slot that the filter can read without allocating.
struct FaultGuard {
    void* jump[5];
    FaultGuard* previous;
    void* exceptionList;
    SehException* fault;
};

DWORD GuardSlot()
{
    static const DWORD slot = ::TlsAlloc();
    return slot;
}

FaultGuard* CurrentGuard()
{
    return static_cast<FaultGuard*>(::TlsGetValue(GuardSlot()));
}

void SetCurrentGuard(FaultGuard* guard)
{
    ::TlsSetValue(GuardSlot(), guard);
}

// 32-bit Windows chains frame-based handlers through the thread's information block, and Wine
// keeps that chain on 64-bit systems too (it registers the frame of the handler that calls the
// unhandled-exception filter there). Frames that were abandoned must leave the chain as well,
// or the next fault on the thread runs a handler from the abandoned stack.
NT_TIB* ThreadInformationBlock()
{
    // What NtCurrentTeb reads, without the intrinsic that gcc 12 mistakes for an access
    // through a null pointer.
    NT_TIB* block = nullptr;
#if defined(_WIN64)
    __asm__("movq %%gs:0x30, %0" : "=r"(block));
#else
    __asm__("movl %%fs:0x18, %0" : "=r"(block));
#endif
    return block;
}

void* CurrentExceptionList()
{
    return ThreadInformationBlock()->ExceptionList;
}

void RestoreExceptionList(void* list)
{
    ThreadInformationBlock()->ExceptionList = static_cast<EXCEPTION_REGISTRATION_RECORD*>(list);
}

class GuardScope {
public:
    explicit GuardScope(FaultGuard& guard) : guard_(guard) { SetCurrentGuard(&guard_); }
    ~GuardScope() { SetCurrentGuard(guard_.previous); }
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

private:
    FaultGuard& guard_;
};

// Runs body with `guard` as the thread's recovery point: true when body ended, false when the
// filter resumed here after a fault. The receiver only returns: leaving through the epilogue
// restores the registers the caller relies on, which the abandoned frames may have changed.
// Kept out of line: the frame that calls __builtin_setjmp must stay a frame of its own.
__attribute__((noinline)) bool RunWithRecoveryPoint(FaultGuard& guard, const std::function<void()>& body)
{
    if (__builtin_setjmp(guard.jump) == 0) {
        const GuardScope scope(guard);
        body();
        return true;
    }
    return false;
}

// libgcc raises C++ exceptions as structured exceptions with this code in the low bits and
// expects the top-level filter to hand an uncaught one back so that it can call std::terminate.
bool IsGccThrow(const EXCEPTION_RECORD& record)
{
    return (record.ExceptionCode & 0x20FFFFFFu) == 0x20474343u && (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0;
}

#endif

std::atomic<void (*)()> g_fatalEndAction{nullptr};

[[noreturn]] void TerminateWithCrashCode()
{
    if (void (*action)() = g_fatalEndAction.exchange(nullptr))
        action();
    ::TerminateProcess(::GetCurrentProcess(), kCrashExitCode);
    for (;;)
        ::Sleep(INFINITE);  // TerminateProcess of the own process does not return
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers)
{
    const bool complete = pointers != nullptr && pointers->ExceptionRecord != nullptr && pointers->ContextRecord != nullptr;
#if !defined(_MSC_VER)
    if (complete && IsGccThrow(*pointers->ExceptionRecord))
        return EXCEPTION_CONTINUE_EXECUTION;
    if (FaultGuard* guard = CurrentGuard()) {
        guard->fault = complete ? DescribeFaultSafely(*pointers->ExceptionRecord, *pointers->ContextRecord) : nullptr;
        __builtin_longjmp(guard->jump, 1);
    }
#endif
    // First, before the slow trace: from here on the other threads neither clean up nor exit.
    ClaimFatalReport();
    ExceptionPresenter::Instance().PresentUnhandled(complete ? pointers : nullptr);
    TerminateWithCrashCode();
}

void OnTerminate()
{
    // Nothing is meant to get here: every thread body and the entry catch what escapes them.
    EndRunWithReport(std::current_exception());
}

struct ThreadWork {
    const std::function<void()>* body;
    std::exception_ptr escaped;
};

DWORD WINAPI GuardedThreadStart(void* parameter)
{
    auto& work = *static_cast<ThreadWork*>(parameter);
    work.escaped = RunContained(*work.body);
    return 0;
}

} // namespace

std::wstring FaultCodeName(DWORD code)
{
    for (const FaultName& entry : kFaultNames) {
        if (entry.code == code)
            return entry.name;
    }
    return {};
}

SehException DescribeFault(const EXCEPTION_RECORD& record, const CONTEXT& context)
{
    const DWORD code = record.ExceptionCode;
    const auto address = reinterpret_cast<ULONG_PTR>(record.ExceptionAddress);
    const std::wstring name = FaultCodeName(code);
    std::wstring text = name.empty()
                            ? Format(L"Unknown SEH Exception (0x%.8x) at address [0x%.8Ix]\r\n", code, address)
                            : Format(L"%ls (0x%.8x) at address [0x%.8Ix]\r\n", name.c_str(), code, address);
    CaptureStackTrace(text, &context, kMaximumTraceFrames);

    const DWORD parameters = record.NumberParameters;
    const SehSubtype subtype = SehSubtypeFor(code, parameters, parameters >= 1 ? record.ExceptionInformation[0] : 0,
                                             parameters >= 2 ? record.ExceptionInformation[1] : 0);
    std::wstring file = kThisFile;
    int32_t line = __LINE__;
    FirstFramePosition(text, file, line);
    return SehException(text, code, file, line, subtype);
}

void EndRunWithReport(const std::exception_ptr& failure) noexcept
{
    ClaimFatalReport();
    ExceptionPresenter& presenter = ExceptionPresenter::Instance();
    try {
        if (failure)
            std::rethrow_exception(failure);
        presenter.PresentUnhandled(nullptr);
    } catch (IException& exception) {
        presenter.Present(exception);
    } catch (const std::exception& exception) {
        presenter.PresentStd(exception);
    } catch (...) {
        presenter.PresentUnhandled(nullptr);
    }
    TerminateWithCrashCode();
}

void SetFatalEndAction(void (*action)())
{
    g_fatalEndAction = action;
}

void InstallCrashHandling()
{
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    ::SetUnhandledExceptionFilter(CrashFilter);
    std::set_terminate(OnTerminate);
}

void RunTranslatingFaults(const std::function<void()>& body)
{
    InstallCrashHandling();
#if defined(_MSC_VER)
    const TranslatorScope translator;
    body();
#else
    FaultGuard guard{};
    guard.previous = CurrentGuard();
    guard.exceptionList = CurrentExceptionList();
    if (RunWithRecoveryPoint(guard, body))
        return;
    // Resumed by the filter, with the faulting frames abandoned.
    RestoreExceptionList(guard.exceptionList);
    SetCurrentGuard(guard.previous);
    std::unique_ptr<SehException> fault(guard.fault);
    if (!fault)
        throw UnidentifiedFault();
    throw SehException(*fault);
#endif
}

std::exception_ptr RunContained(const std::function<void()>& body) noexcept
{
    try {
        RunTranslatingFaults(body);
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

void RunOnGuardedThread(const std::function<void()>& body)
{
    ThreadWork work{&body, nullptr};
    const UniqueHandle thread(::CreateThread(nullptr, 0, GuardedThreadStart, &work, 0, nullptr));
    if (!thread)
        throw std::bad_alloc();
    ::WaitForSingleObject(thread.Get(), INFINITE);
    if (work.escaped)
        std::rethrow_exception(work.escaped);
}

} // namespace orvanta
