// The prerequisite phases of a test build of the chainer (OrvantaChainerFaults): before the
// search they fault as the environment variable ORVANTA_INJECT_FAULT says. Only this test
// build reads it; the shipped chainer has no such switch and reads nothing but its INI file.
//   null-read          a read through a null pointer on the main thread
//   worker-null-read   the same on a worker thread that the main thread joins
//   worker-throw       a program error thrown on such a worker thread
//   unguarded-thread   a null read on a thread without fault translation
//   library-error      an index out of range raised by the C++ library
//   second-fault       a null read like worker-null-read, and one more on a thread without
//                      fault translation once the report dialog of the first is shown
//   fault-while-ending a null read on a thread without fault translation that nobody waits
//                      for: once its report dialog is shown the run goes on without a search,
//                      so with nothing to install it ends at once
// and later, once, during a download:
//   status-callback    a null read in WinINet's status callback, on the first completion
//   digest-worker      a null read on a digest worker, before it hashes its first block
// (this build compiles download/AsyncState.cpp and download/StreamHasher.cpp with
// ORVANTA_FAULT_INJECTION, which calls the two functions at the end of this file).
#include "platform/Exception.h"
#include "platform/FaultTranslation.h"
#include "run/PrerequisiteRun.h"
#include "run/RunServices.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <string>

namespace {

#if defined(_MSC_VER)
#define NOT_INLINED __declspec(noinline)
#else
#define NOT_INLINED __attribute__((noinline))
#endif

volatile int* volatile g_null = nullptr;

// Kept a function of its own, so that the trace names it.
NOT_INLINED void InjectedNullRead()
{
    (void)*g_null;
}

DWORD WINAPI UnguardedThread(void*)
{
    InjectedNullRead();
    return 0;
}

BOOL CALLBACK FindReportDialog(HWND window, LPARAM found)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t title[16] = L"";
    ::GetWindowTextW(window, title, 16);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) && wcscmp(title, L"Error") == 0)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

// Waits (a minute at most) for the report dialog of this process.
void WaitForReportDialog()
{
    bool shown = false;
    for (int attempt = 0; attempt < 1200 && !shown; ++attempt) {
        ::Sleep(50);
        ::EnumWindows(FindReportDialog, reinterpret_cast<LPARAM>(&shown));
    }
}

DWORD WINAPI FaultDuringReport(void*)
{
    WaitForReportDialog();
    InjectedNullRead();
    return 0;
}

const std::wstring& InjectionMode()
{
    static const std::wstring mode = [] {
        wchar_t value[64] = L"";
        ::GetEnvironmentVariableW(L"ORVANTA_INJECT_FAULT", value, 64);
        return std::wstring(value);
    }();
    return mode;
}

// The download modes fault once: what follows the fault runs as it would after a real one.
void InjectOnce(const wchar_t* mode)
{
    static std::atomic<bool> injected{false};
    if (InjectionMode() == mode && !injected.exchange(true))
        InjectedNullRead();
}

// False when the search is to be left out.
bool InjectFault()
{
    const std::wstring& mode = InjectionMode();
    if (mode == L"null-read") {
        InjectedNullRead();
    } else if (mode == L"worker-null-read") {
        orvanta::RunOnGuardedThread(InjectedNullRead);
    } else if (mode == L"library-error") {
        static_cast<void>(std::wstring(L"ab").at(5));
    } else if (mode == L"worker-throw") {
        orvanta::RunOnGuardedThread([] { throw ORVANTA_EXCEPTION(L"Injected program error"); });
    } else if (mode == L"second-fault") {
        ::CloseHandle(::CreateThread(nullptr, 0, FaultDuringReport, nullptr, 0, nullptr));
        InjectedNullRead();
    } else if (mode == L"unguarded-thread") {
        const HANDLE thread = ::CreateThread(nullptr, 0, UnguardedThread, nullptr, 0, nullptr);
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    } else if (mode == L"fault-while-ending") {
        ::CloseHandle(::CreateThread(nullptr, 0, UnguardedThread, nullptr, 0, nullptr));
        WaitForReportDialog();
        return false;
    }
    return true;
}

class FaultInjectingRun final : public orvanta::PrerequisiteRun {
public:
    explicit FaultInjectingRun(const orvanta::RunServices& services) : real_(orvanta::CreatePrerequisiteRun(services))
    {
    }
    void SearchAll(orvanta::RunPlan& plan) override
    {
        if (InjectFault())
            real_->SearchAll(plan);
    }
    std::unique_ptr<orvanta::InstallStages> BuildStages(orvanta::RunPlan& plan, orvanta::ExtractionContext& extraction,
                                                        orvanta::InterbootStore& store) override
    {
        return real_->BuildStages(plan, extraction, store);
    }
    void Recheck(orvanta::RunPlan& plan) override { real_->Recheck(plan); }
    bool MandatoryCheck(orvanta::RunPlan& plan) override { return real_->MandatoryCheck(plan); }

private:
    std::unique_ptr<orvanta::PrerequisiteRun> real_;
};

} // namespace

std::unique_ptr<orvanta::PrerequisiteRun> CreateFaultInjectingRun(const orvanta::RunServices& services)
{
    return std::make_unique<FaultInjectingRun>(services);
}

void InjectStatusCallbackFault(DWORD status)
{
    if (status == INTERNET_STATUS_REQUEST_COMPLETE)
        InjectOnce(L"status-callback");
}

void InjectDigestWorkerFault()
{
    InjectOnce(L"digest-worker");
}
