#include "run/Chainer.h"
#include "run/ResultFile.h"
#include "run/RunRecord.h"
#include "run/RunServices.h"
#include "platform/ComRef.h"
#include "platform/ExceptionPresenter.h"
#include "platform/FaultTranslation.h"
#include "platform/Paths.h"
#include "ui/DialogUserInterface.h"
#include "ui/ErrorReportDialog.h"

#include <windows.h>

#include <exception>

#if defined(ORVANTA_FAULT_INJECTION)
// Test builds of the chainer only: a run whose phases fault on request.
std::unique_ptr<orvanta::PrerequisiteRun> CreateFaultInjectingRun(const orvanta::RunServices& services);
#endif
#if defined(ORVANTA_TEST_SERVICES)
// Test builds of the chainer only: the real services with those replaced that a test must not
// let happen (a restart).
orvanta::RunServices TestRunServices();
#endif

namespace {

// A silent run never waits for someone to close a dialog: its report goes to the log only.
bool ShowReportUnlessSilent(HWND owner, const std::wstring& message, const std::wstring& details)
{
    return orvanta::InterfaceShown() && orvanta::ShowErrorReport(owner, message, details);
}

orvanta::RunServices Services()
{
#if defined(ORVANTA_TEST_SERVICES)
    return TestRunServices();
#else
    return orvanta::RunServices();
#endif
}

std::unique_ptr<orvanta::PrerequisiteRun> CreateRun(const orvanta::RunServices& services)
{
#if defined(ORVANTA_FAULT_INJECTION)
    return CreateFaultInjectingRun(services);
#else
    return orvanta::CreatePrerequisiteRun(services);
#endif
}

// What the run did, for its result file; it outlives the run, which an error may end early.
orvanta::RunRecord& Record()
{
    static orvanta::RunRecord record;
    return record;
}

// A failed run's result file tells what was known when it failed. The thread that ends the
// process after a fault outside every guarded frame writes it; it waits a moment at most for a
// record that the faulting thread may hold.
const DWORD kFailedRecordWaitMs = 1000;

void WriteFailedResult()
{
    try {
        orvanta::WriteResultFile(Record(), orvanta::RunEnd::Failed, kFailedRecordWaitMs);
    } catch (...) {
        // Out of memory on the way out: the exit code and the log tell the rest.
    }
}

// The whole run; an error that ends it is reported and ends it as failed.
int RunChainer(orvanta::UserInterface& dialogs)
{
    orvanta::ExceptionPresenter& presenter = orvanta::ExceptionPresenter::Instance();
    try {
        int exitCode = 0;
        orvanta::RunTranslatingFaults([&exitCode, &dialogs] {
            orvanta::Chainer chainer(CreateRun(Services()), &dialogs, &Record());
            chainer.Run();
            exitCode = chainer.ExitCode();
            // A second start of the package leaves the file to the run that holds its lock.
            if (chainer.End() != orvanta::RunEnd::AlreadyRunning)
                orvanta::WriteResultFile(Record(), chainer.End(), INFINITE);
        });
        return exitCode;
    } catch (orvanta::IException& exception) {
        presenter.Present(exception);
    } catch (const std::exception& exception) {
        presenter.PresentStd(exception);
    } catch (...) {
        presenter.PresentUnhandled(nullptr);
    }
    WriteFailedResult();
    return orvanta::ExitCodeFor(orvanta::RunEnd::Failed);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything can load a library: a chainer started from a Downloads folder must not
    // pick up a DLL planted beside it.
    orvanta::RestrictDllSearchToSystemFolder();
    orvanta::InstallCrashHandling();
    Record();  // constructed now: the run starts here, and a crash must find it made
    orvanta::SetFatalEndAction(WriteFailedResult);
    orvanta::ExceptionPresenter::Instance().SetReportDialog(ShowReportUnlessSilent);

    const orvanta::ComApartment apartment(COINIT_APARTMENTTHREADED);
    // A silent run shows none of it: the run passes the interface on only when it is shown.
    orvanta::DialogUserInterface dialogs;
    orvanta::InstallDialogPrompts();
    const int exitCode = RunChainer(dialogs);
    // A thread that is still reporting an error ends the process itself, with kCrashExitCode.
    orvanta::WaitWhileAnotherThreadReports();
    return exitCode;
}
