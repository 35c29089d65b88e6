#include "config/Config.h"
#include "install/InterbootStore.h"
#include "run/PrerequisiteRun.h"
#include "run/RunPlan.h"
#include "run/RunRecord.h"
#include "run/StagesWorker.h"
#include "run/UserInterface.h"
#include "platform/FaultTranslation.h"
#include "platform/Logger.h"
#include "platform/ProcessLaunch.h"
#include "platform/Resources.h"
#include "platform/ResultCodes.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"
#include "platform/resource.h"

namespace orvanta {
namespace {

const wchar_t* TrueFalse(bool value)
{
    return value ? L"true" : L"false";
}

struct SearchWork {
    PrerequisiteRun& run;
    RunPlan& plan;
    std::exception_ptr failure;  // what escaped the search, for the waiting thread
};

DWORD WINAPI SearchThread(void* parameter)
{
    auto* work = static_cast<SearchWork*>(parameter);
    work->failure = RunContained([work] { work->run.SearchAll(work->plan); });
    return 0;
}

// With an interface the search runs on a worker thread while this thread keeps the status
// window alive; the plan is touched by one thread at a time all the same.
void SearchAll(RunPlan& plan, PrerequisiteRun& run, UserInterface* ui)
{
    if (ui == nullptr) {
        run.SearchAll(plan);
        return;
    }
    ui->ShowStatus(LoadStringResource(IDS_SEARCHING));
    SearchWork work{run, plan, nullptr};
    const UniqueHandle thread(::CreateThread(nullptr, 0, SearchThread, &work, 0, nullptr));
    if (!thread) {
        run.SearchAll(plan);
        return;
    }
    WaitWithMessagePump(thread.Get());
    if (work.failure)
        std::rethrow_exception(work.failure);
}

// Silent and basic runs end the same way once the stages are done: re-check, then the
// mandatory check, unless a reboot is required first.
RunEnd EndAfterStages(RunPlan& plan, PrerequisiteRun& run, const InstallStages& stages)
{
    if (stages.Reboot().required)
        return RunEnd::Completed;
    run.Recheck(plan);
    return run.MandatoryCheck(plan) ? RunEnd::Completed : RunEnd::MandatoryMissing;
}

// The progress dialog's own check decided 1 or 7. A dialog that was canceled, or that could not
// be shown, ends the stages early: the checks run now that the worker has stopped, so a
// mandatory prerequisite that is still missing fails the run.
RunEnd EndOfDialog(int32_t end, RunPlan& plan, PrerequisiteRun& run, const InstallStages& stages)
{
    if (end == ProgressDone)
        return RunEnd::Completed;
    if (end == ProgressMandatoryMissing)
        return RunEnd::MandatoryMissing;
    const RunEnd checked = EndAfterStages(plan, run, stages);
    // The dialog ends the same way for Cancel and for a restart under way; only the stages know.
    if (end != ProgressCanceledOrRebooting || stages.Reboot().inProgress)
        return checked;
    return checked == RunEnd::MandatoryMissing ? RunEnd::CanceledMandatoryMissing : RunEnd::Canceled;
}

RunEnd RunInProgressDialog(RunPlan& plan, PrerequisiteRun& run, InstallStages& stages, UserInterface* ui)
{
    int32_t end = ProgressNotShown;
    if (ui != nullptr) {
        ui->CloseStatus();
        StagesWorker worker(plan, run, stages);
        end = ui->RunProgressDialog(worker);
    }
    return EndOfDialog(end, plan, run, stages);
}

void LogRebootSummary(const RebootFlags& reboot)
{
    if (!LogEnabled)
        return;
    Logger::Instance().Log(std::wstring(L"After running prerequisites we have:") + L"  Reboot was required=" +
                           TrueFalse(reboot.required));
    if (reboot.required)
        Logger::Instance().Log(std::wstring(L"  Reboot was refused=") + TrueFalse(reboot.refused));
    if (reboot.required && !reboot.refused)
        Logger::Instance().Log(std::wstring(L"  Reboot in Progress=") + TrueFalse(reboot.inProgress));
}

} // namespace

int32_t ExitCodeFor(RunEnd end, ExitCodeStyle style)
{
    const bool msi = style == ExitCodeStyle::Msi;
    switch (end) {
    case RunEnd::Completed: return 0;
    case RunEnd::MandatoryMissing: return msi ? kCrashExitCode : 1;
    case RunEnd::RebootPending: return msi ? static_cast<int32_t>(kRebootRequired) : -1;
    case RunEnd::RebootStarted: return msi ? static_cast<int32_t>(kRebootInitiated) : -1;
    case RunEnd::Canceled: return msi ? static_cast<int32_t>(kUserExit) : 0;
    case RunEnd::CanceledMandatoryMissing: return msi ? static_cast<int32_t>(kUserExit) : 1;
    case RunEnd::AlreadyRunning: return kAlreadyRunningExitCode;
    case RunEnd::Failed: return kCrashExitCode;
    }
    return kCrashExitCode;
}

InstallOutcome InstallPrerequisites(const ChainerConfig& config, ExtractionContext& extraction, PrerequisiteRun& run,
                                    UserInterface* ui, RunReport* report)
{
    InterbootStore store;
    InstallOutcome outcome;
    RunPlan plan(config);
    std::unique_ptr<InstallStages> stages;

    if (!config.prerequisites.empty()) {
        SearchAll(plan, run, ui);
        if (report != nullptr)
            report->Searched(plan);
        if (!plan.SomethingToInstall()) {
            LogLine(L"No prerequisite must be installed.");
        } else {
            stages = run.BuildStages(plan, extraction, store);
            if (stages)
                stages->ReportTo(report);
            const bool silent = IsSilent(config);
            const bool basic = ShowsBasicInterface(config);
            if (stages && (silent || basic)) {
                LogLine(silent ? L"Starting installing prerequisites in silent mode."
                               : L"Starting installing prerequisites in basic UI mode.");
                stages->SetSilent(silent);
                if (silent) {
                    stages->Run(nullptr, nullptr);
                    outcome.end = EndAfterStages(plan, run, *stages);
                } else {
                    outcome.end = RunInProgressDialog(plan, run, *stages, ui);
                }

                const RebootFlags reboot = stages->Reboot();
                LogRebootSummary(reboot);
                if ((reboot.required && !reboot.refused) || reboot.inProgress) {
                    outcome.end = reboot.inProgress ? RunEnd::RebootStarted : RunEnd::RebootPending;
                    store.KeepAfterRun();
                }
            }
        }
    }
    if (report != nullptr)
        report->Finished(plan, stages ? stages->Reboot() : RebootFlags());
    if (ui != nullptr)
        ui->CloseStatus();

    stages.reset();  // discarding the stages deletes the downloads registered for deletion
    if (store.DeleteAtEnd())
        store.DeleteKey();
    return outcome;
}

} // namespace orvanta
