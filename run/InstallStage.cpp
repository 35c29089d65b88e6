#include "run/InstallStage.h"

#include "config/Config.h"
#include "config/FolderProperties.h"
#include "run/Pipeline.h"
#include "download/DownloadStage.h"
#include "download/DownloadTargets.h"
#include "install/ExtractionContext.h"
#include "platform/Text.h"
#include "platform/ProgressSink.h"
#include "platform/Resources.h"
#include "platform/ResultCodes.h"

namespace orvanta {
namespace {

bool IsMandatory(const PrereqInfo& prereq)
{
    return prereq.options.Has(PrereqOption::Mandatory);
}

// Where a downloaded prerequisite lies: the local file of a file: URL, else the download target.
std::wstring DownloadedFilePath(ChainerConfig& config, const PrereqInfo& prereq)
{
    const std::wstring local = LocalPathOfFileUrl(prereq.source);
    if (!local.empty())
        return local;
    return TargetPathFor(GetDownloadFolder(config), prereq.source, prereq.Folder);
}

} // namespace

InstallStage::InstallStage(ChainerConfig& config, ExtractionContext& extraction, InterbootStore& store,
                           const RunServices& services)
    : config_(config), extraction_(extraction), services_(services), launcher_(&store, this, services_.install),
      downloads_(&ProcessCredentialStore())
{
}

uint32_t InstallStage::RunDownloadStage(ProgressSink* sink, DownloadQuestions* questions)
{
    return DownloadPrerequisites(config_, downloads_, sink, questions);
}

void InstallStage::RunOpenSiteStage(ProgressSink* sink)
{
    OpenPrerequisiteSites(config_, downloads_, sink, services_.siteShell);
}

RebootFlags InstallStage::Reboot() const
{
    RebootFlags flags;
    flags.required = launcher_.RebootNeeded() || launcher_.Rebooting();
    flags.refused = launcher_.RebootRefused();
    flags.inProgress = launcher_.RestartStarted();
    return flags;
}

void InstallStage::FillLaunchList()
{
    launcher_.Clear();
    for (size_t index = 0; index < config_.prerequisites.size(); ++index) {
        const PrereqDecision decision = EffectiveDecision(config_, index);
        const PrereqInfo& prereq = config_.prerequisites[index];
        const RebootMode rebootMode = RebootModeFromOptions(prereq.options);
        if (decision == InstallFromPackage) {
            launcher_.AddLaunchItem(extraction_.GetPackageFilePath(prereq.source), prereq.CommandLine, prereq.name,
                                    rebootMode, static_cast<int32_t>(index), prereq.RetValPropName);
        } else if (decision == AlreadyDownloaded) {
            launcher_.AddLaunchItem(DownloadedFilePath(config_, prereq), ExpandReferences(prereq.CommandLine, false),
                                    prereq.name, rebootMode, static_cast<int32_t>(index), prereq.RetValPropName);
        }
    }
}

uint32_t InstallStage::RunInstallStage(ProgressSink* sink)
{
    FillLaunchList();
    const std::vector<LaunchItem>& items = launcher_.Items();
    const std::wstring stageText = sink != nullptr ? config_.GetStageText(2) : std::wstring();
    if (sink != nullptr)
        sink->SetRange(static_cast<uint32_t>(items.size()), StageSteps::Actions);

    for (size_t index = 0; index < items.size() && !stopped_; ++index) {
        if (sink != nullptr) {
            if (sink->IsCanceled())
                return kUserExit;
            sink->SetStatus(FillPlaceholders(stageText, items[index].name), 8, 0);
        }
        // Only a silent run restarts the machine without asking: a basic-interface run asks.
        const int result = launcher_.RunLaunchItem(index, silent_);
        if (result == PackageLauncher::RunDone)
            continue;
        const PrereqInfo& prereq = config_.prerequisites.at(static_cast<size_t>(items[index].prereqIndex));
        if (!IsMandatory(prereq))
            continue;
        const uint32_t report =
            result == PackageLauncher::RunFailed ? DLERR_MANDATORY_FAILED : DLERR_MANDATORY_NEEDS_REBOOT;
        if (sink != nullptr)
            sink->ReportError(items[index].name.c_str(), report);
        return kInstallFailure;
    }
    return 0;
}

bool InstallStage::InstalledAfterRun(int32_t prereqIndex)
{
    const size_t index = static_cast<size_t>(prereqIndex);
    SearchPrerequisite(config_, index, true, services_.nativeMachine);
    PrereqInfo& prereq = config_.prerequisites.at(index);
    if (prereq.decision == Download || prereq.decision == AlreadyDownloaded) {
        // The installer has run; the launch list was made before, so nothing starts this file.
        prereq.downloadPresent = DownloadPresent(config_, prereq, PresenceCheck::AfterInstall);
        if (prereq.decision == Download && prereq.downloadPresent)
            prereq.decision = AlreadyDownloaded;
    }
    return prereq.decision == AcceptableFound;
}

} // namespace orvanta
