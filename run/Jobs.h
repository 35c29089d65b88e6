// The jobs the run hands to the download and install layers, made from the configuration and
// the plan's actions. Those layers get what to fetch or start and how; they never read the
// configuration themselves.
#pragma once

#include "config/Config.h"
#include "download/DownloadJob.h"
#include "download/DownloadStage.h"
#include "install/PackageLauncher.h"

#include <string>
#include <vector>

namespace orvanta {

class ExtractionContext;
enum class PlannedAction;

// The prerequisite's download: its URL and mirrors, Folder, ExactSize, MD5, SHA256 and Signer (a
// negative ExactSize is a size no file has).
DownloadJob MakeDownloadJob(const PrereqInfo& prereq);

// True when the keep-files setting keeps downloaded files after the run ("complete" and
// "prereqs"); otherwise each accepted download is deleted at the end.
bool KeepsDownloads(KeepFilesMode mode);

// An installer to start, in the order of the prerequisites.
struct InstallJob {
    size_t prereq = 0;
    std::wstring file;
    std::wstring commandLine;
    RebootMode rebootMode = RebootNever;
    // The download whose accepted file this is (an index into StageJobs::downloads), or -1 when
    // the file is there already.
    int download = -1;
};

// Everything the stages of one run do, in order.
struct StageJobs {
    std::vector<DownloadJob> downloads;
    std::vector<SiteJob> sites;
    std::vector<InstallJob> installs;
    // The prerequisite of each download and each site, by the same index.
    std::vector<size_t> downloadPrereqs;
    std::vector<size_t> sitePrereqs;
};

StageJobs MakeStageJobs(const ChainerConfig& config, const std::vector<PlannedAction>& actions,
                        const ExtractionContext& extraction);

} // namespace orvanta
