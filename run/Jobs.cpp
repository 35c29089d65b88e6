#include "run/Jobs.h"

#include "config/FolderProperties.h"
#include "download/DownloadTargets.h"
#include "install/ExtractionContext.h"
#include "platform/Logger.h"
#include "run/RunPlan.h"

namespace orvanta {
namespace {

// "r" restarts after the installer, "r" with "R" only once the prerequisite is found.
RebootMode RebootModeFromOptions(const PrereqOptionSet& options)
{
    if (!options.Has(PrereqOption::RebootAfterInstall))
        return RebootNever;
    return options.Has(PrereqOption::RebootWhenFound) ? RebootWhenFoundInstalled : RebootAfterSuccess;
}

InstallJob InstallJobFor(const PrereqInfo& prereq, size_t index)
{
    InstallJob job;
    job.prereq = index;
    job.rebootMode = RebootModeFromOptions(prereq.options);
    return job;
}

} // namespace

DownloadJob MakeDownloadJob(const PrereqInfo& prereq)
{
    DownloadJob job;
    job.name = prereq.name;
    job.url = prereq.source;
    job.folder = prereq.Folder;
    job.expected.size = static_cast<uint64_t>(prereq.ExactSize);
    job.expected.md5 = prereq.MD5;
    job.expected.sha256 = prereq.SHA256;
    job.expected.signerGiven = !prereq.Signer.empty();
    if (job.expected.signerGiven && !ParseSignerPins(prereq.Signer, job.expected.signers))
        job.expected.signers.clear();  // a value that cannot be read lets no file pass
    job.mirrors = prereq.mirrors;
    job.mandatory = prereq.options.Has(PrereqOption::Mandatory);
    return job;
}

bool KeepsDownloads(KeepFilesMode mode)
{
    return mode == KeepFilesComplete || mode == KeepFilesPrereqs;
}

StageJobs MakeStageJobs(const ChainerConfig& config, const std::vector<PlannedAction>& actions,
                        const ExtractionContext& extraction)
{
    StageJobs jobs;
    for (size_t index = 0; index < actions.size(); ++index) {
        const PrereqInfo& prereq = config.prerequisites.at(index);
        InstallJob install = InstallJobFor(prereq, index);
        switch (actions[index]) {
        case PlannedAction::InstallFromPackage:
            install.file = extraction.GetPackageFilePath(prereq.source);
            install.commandLine = prereq.CommandLine;
            jobs.installs.push_back(install);
            break;
        case PlannedAction::Download:
            install.download = static_cast<int>(jobs.downloads.size());
            jobs.downloads.push_back(MakeDownloadJob(prereq));
            jobs.downloadPrereqs.push_back(index);
            if (jobs.downloads.back().expected.signerGiven && jobs.downloads.back().expected.signers.empty())
                LogLine(L"Signer of " + prereq.name + L" is not a list of SHA-256 key hashes: no file can pass it.");
            [[fallthrough]];  // started from where the download puts it
        case PlannedAction::InstallDownloaded:
            install.file = LaunchPathOf(config.downloadFolder,
                                        install.download >= 0 ? jobs.downloads.back() : MakeDownloadJob(prereq));
            install.commandLine = ExpandReferences(prereq.CommandLine, false);
            jobs.installs.push_back(install);
            break;
        case PlannedAction::OpenSite:
            jobs.sites.push_back(SiteJob{prereq.name, prereq.source});
            jobs.sitePrereqs.push_back(index);
            break;
        case PlannedAction::None:
            break;
        }
    }
    return jobs;
}

} // namespace orvanta
