#include "run/Chainer.h"
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

// The whole run; an error that ends it is reported and ends it as failed.
int RunChainer(orvanta::UserInterface& dialogs)
{
    orvanta::ExceptionPresenter& presenter = orvanta::ExceptionPresenter::Instance();
    try {
        int exitCode = 0;
        orvanta::RunTranslatingFaults([&exitCode, &dialogs] {
            orvanta::Chainer chainer(CreateRun(Services()), &dialogs);
            chainer.Run();
            exitCode = chainer.ExitCode();
        });
        return exitCode;
    } catch (orvanta::IException& exception) {
        presenter.Present(exception);
    } catch (const std::exception& exception) {
        presenter.PresentStd(exception);
    } catch (...) {
        presenter.PresentUnhandled(nullptr);
    }
    return orvanta::ExitCodeFor(orvanta::RunEnd::Failed);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything can load a library: a chainer started from a Downloads folder must not
    // pick up a DLL planted beside it.
    orvanta::RestrictDllSearchToSystemFolder();
    orvanta::InstallCrashHandling();
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
