// System faults (access violations, divisions by zero, stack overflows) become SehException
// objects on the thread where they happen, and whatever escapes a thread body is contained.
//
// Under MSVC a structured-exception translator (_set_se_translator, built with /EHa) throws the
// SehException at the faulting instruction. mingw has no translator, and g++ cannot throw
// through a faulting frame, so there the guarded frame of RunTranslatingFaults is a recovery
// point instead: the process-wide unhandled-exception filter, which runs on the faulting thread
// before anything is unwound, describes the fault (text, stack trace, subtype) and resumes at
// the innermost guarded frame of that thread, which throws the SehException from there. Callers
// of RunTranslatingFaults see the same exception either way; under mingw the frames between the
// guard and the fault are abandoned without running their destructors, which is why a run ends
// after a reported fault instead of going on.
#pragma once

#include "platform/Exception.h"
#include "platform/ResultCodes.h"

#include <windows.h>

#include <exception>
#include <functional>

namespace orvanta {

// Installs the process-wide unhandled-exception filter and terminate handler (once per
// process). A fault outside every guarded frame is reported as EXCEPTION_UNHANDLED and ends the
// process with kCrashExitCode.
void InstallCrashHandling();

// `action` runs once on the thread that ends the process with kCrashExitCode after its report,
// just before the end: what the run must still leave behind. It must not throw.
void SetFatalEndAction(void (*action)());

// Reports `failure` (a fault, a program error; null: an unidentified one) as the error the run
// ends with, and ends the process with kCrashExitCode. For a failure that no thread can rethrow
// to the entry any more: one caught where nothing may unwind, or let go by an owner's destructor.
[[noreturn]] void EndRunWithReport(const std::exception_ptr& failure) noexcept;

// Runs body on the calling thread; a system fault inside it leaves this call as a thrown
// SehException. Installs the crash handling first (once per process).
void RunTranslatingFaults(const std::function<void()>& body);

// RunTranslatingFaults, keeping whatever escapes body instead of letting it leave: thread
// bodies hand it to the thread that joins them. Null when body ended normally.
std::exception_ptr RunContained(const std::function<void()>& body) noexcept;

// The SehException that describes a fault: "<NAME> (0x<code>) at address [0x<address>]\r\n",
// the stack trace of the faulting context, the access-violation subtype, and the source
// position of the faulting frame when symbols tell it.
SehException DescribeFault(const EXCEPTION_RECORD& record, const CONTEXT& context);

// "ACCESS_VIOLATION", "INT_DIVIDE_BY_ZERO", ...; empty for a code without a name.
std::wstring FaultCodeName(DWORD code);

// Runs body on a thread of its own with fault translation and waits for it (the caller blocks
// until the thread ends). Whatever escaped the body is rethrown here, on the calling thread; a
// thread that cannot be started raises std::bad_alloc (the system is out of resources).
void RunOnGuardedThread(const std::function<void()>& body);

} // namespace orvanta
