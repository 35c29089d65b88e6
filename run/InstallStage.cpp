#include "run/InstallStage.h"

#include "config/Config.h"
#include "download/DownloadStage.h"
#include "run/DownloadsAhead.h"
#include "run/RunPlan.h"
#include "run/RunRecord.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"
#include "platform/Resources.h"
#include "platform/ResultCodes.h"

namespace orvanta {
namespace {

const int kDownloadStageText = 1;
const int kInstallStageText = 2;
const int kOpenSiteStageText = 3;
const int kSiteOpenedMessage = 5;

bool Canceled(ProgressSink* sink)
{
    return sink != nullptr && sink->IsCanceled();
}

} // namespace

InstallStage::InstallStage(RunPlan& plan, ExtractionContext& extraction, InterbootStore& store,
                           const RunServices& services)
    : plan_(plan), extraction_(extraction), services_(services), launcher_(&store, this, services_.install),
      downloads_(&ProcessCredentialStore())
{
}

RebootFlags InstallStage::Reboot() const
{
    RebootFlags flags;
    flags.required = launcher_.RebootNeeded() || launcher_.Rebooting();
    flags.refused = launcher_.RebootRefused();
    flags.inProgress = launcher_.RestartStarted();
    return flags;
}

void InstallStage::MakeJobs()
{
    const std::vector<PlannedAction>& actions = plan_.Actions();
    jobs_ = MakeStageJobs(plan_.Config(), actions, extraction_);
    downloaded_.assign(jobs_.downloads.size(), DownloadResult());
    if (report_ != nullptr)
        report_->Planned(actions);
}

void InstallStage::ReportDownload(size_t job, const DownloadResult& result)
{
    if (report_ != nullptr)
        report_->Downloaded(jobs_.downloadPrereqs.at(job), result);
}

// A silent run goes on as far as it can; with a sink (the progress dialog) a failed stage or a
// cancel ends the run there.
uint32_t InstallStage::Run(ProgressSink* sink, DownloadQuestions* questions)
{
    MakeJobs();
    if (plan_.Config().general.DownloadAhead && !jobs_.downloads.empty())
        return RunOverlapped(sink, questions);

    const uint32_t downloads = RunDownloadStage(sink, questions);
    if (sink != nullptr && (downloads != 0 || sink->IsCanceled()))
        return downloads != 0 ? downloads : kUserExit;
    RunOpenSiteStage(sink);
    if (Canceled(sink))
        return kUserExit;
    const uint32_t installs = RunInstallStage(sink);
    return Canceled(sink) ? kUserExit : installs;
}

DownloadContext InstallStage::MakeDownloadContext(ProgressSink* sink, DownloadQuestions* questions)
{
    const ChainerConfig& config = plan_.Config();
    DownloadContext context;
    context.downloads = &downloads_;
    context.downloadFolder = WithTrailingBackslash(config.downloadFolder);
    context.keepFiles = KeepsDownloads(config.general.KeepFiles);
    if (sink != nullptr)
        context.stageText = config.GetStageText(kDownloadStageText);
    context.sink = sink;
    context.questions = questions;
    return context;
}

uint32_t InstallStage::RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions)
{
    DownloadContext context = MakeDownloadContext(sink, questions);
    return RunDownloadJobs(jobs_.downloads, context,
                           [this](size_t job, const DownloadResult& result) {
                               downloaded_.at(job) = result;
                               ReportDownload(job, result);
                           });
}

void InstallStage::RunOpenSiteStage(ProgressSink* sink)
{
    const ChainerConfig& config = plan_.Config();
    std::wstring stageText;
    std::wstring message;
    if (sink != nullptr) {
        stageText = config.GetStageText(kOpenSiteStageText);
        message = config.GetStageText(kSiteOpenedMessage);
    }
    OpenPrerequisiteSites(jobs_.sites, downloads_, sink, services_.siteShell, stageText, message, !IsSilent(config));
    // A cancel stops the sites part way; which ones were open by then is not told.
    if (report_ != nullptr && !Canceled(sink)) {
        for (const size_t prereq : jobs_.sitePrereqs)
            report_->SiteOpened(prereq);
    }
}

std::wstring InstallStage::InstallStatus(const InstallJob& job) const
{
    return FillPlaceholders(plan_.Config().GetStageText(kInstallStageText), plan_.Prereq(job.prereq).name);
}

uint32_t InstallStage::RunInstallStage(ProgressSink* sink)
{
    // A file whose download failed is not started.
    std::vector<const InstallJob*> ready;
    for (const InstallJob& job : jobs_.installs) {
        if (job.download < 0 || downloaded_.at(static_cast<size_t>(job.download)).Accepted())
            ready.push_back(&job);
    }
    if (sink != nullptr)
        sink->SetRange(static_cast<uint32_t>(ready.size()), StageSteps::Actions);
    for (const InstallJob* job : ready) {
        if (stopped_)
            break;
        if (sink != nullptr) {
            if (sink->IsCanceled())
                return kUserExit;
            sink->SetStatus(InstallStatus(*job), kStageStep, 0);
        }
        const uint32_t result = Install(*job, sink);
        if (result != 0)
            return result;
    }
    return 0;
}

// The bar follows the downloads; the status line shows the install while one runs. With a sink
// a download that ends the stage stops the chain once the install under way is done.
uint32_t InstallStage::RunOverlapped(ProgressSink* sink, DownloadQuestions* questions)
{
    RunOpenSiteStage(sink);
    if (Canceled(sink))
        return kUserExit;
    DownloadsAhead ahead(jobs_.downloads, MakeDownloadContext(sink, questions), stopped_,
                         [this](size_t job, const DownloadResult& result) { ReportDownload(job, result); });
    ProgressSink* shared = sink != nullptr ? &ahead.Sink() : nullptr;
    uint32_t result = 0;
    for (const InstallJob& job : jobs_.installs) {
        if (stopped_)
            break;
        if (Canceled(sink)) {
            result = kUserExit;
            break;
        }
        if (sink != nullptr && ahead.StageFailed())
            break;
        if (job.download >= 0) {
            if (!ahead.WaitFor(static_cast<size_t>(job.download)).Accepted())
                continue;
        }
        if (sink != nullptr)
            ahead.Sink().BeginInstall(InstallStatus(job));
        result = Install(job, shared);
        ahead.Sink().EndInstall();
        if (result != 0)
            break;
    }
    ahead.Stop();
    const uint32_t downloads = ahead.Finish();
    if (result == 0 && sink != nullptr && downloads != 0)
        return downloads;
    return result;
}

uint32_t InstallStage::Install(const InstallJob& job, ProgressSink* sink)
{
    const PrereqInfo& prereq = plan_.Prereq(job.prereq);
    launcher_.AddLaunchItem(job.file, job.commandLine, prereq.name, job.rebootMode, static_cast<int32_t>(job.prereq),
                            prereq.RetValPropName);
    // Only a silent run restarts the machine without asking: a basic-interface run asks.
    const size_t item = launcher_.Items().size() - 1;
    const ULONGLONG started = ::GetTickCount64();
    const int result = launcher_.RunLaunchItem(item, silent_);
    if (report_ != nullptr)
        report_->Installed(job.prereq, launcher_.Items()[item], ::GetTickCount64() - started);
    if (result == PackageLauncher::RunDone || !prereq.options.Has(PrereqOption::Mandatory))
        return 0;
    const uint32_t report =
        result == PackageLauncher::RunFailed ? DLERR_MANDATORY_FAILED : DLERR_MANDATORY_NEEDS_REBOOT;
    if (sink != nullptr)
        sink->ReportError(prereq.name.c_str(), report);
    return kInstallFailure;
}

bool InstallStage::InstalledAfterRun(int32_t prereqIndex)
{
    return plan_.InstalledNow(static_cast<size_t>(prereqIndex), services_.nativeMachine);
}

} // namespace orvanta
