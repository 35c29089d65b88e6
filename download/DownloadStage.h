// The download stage and the open-site stage of a run: they take the jobs the run planned, log
// each step and report to an optional sink (null in a silent run).
#pragma once

#include "download/DownloadJob.h"
#include "platform/ResultCodes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvanta {

class DownloadList;
class DownloadQuestions;
class ProgressSink;
struct SiteShell;

// What the jobs of a download stage share.
struct DownloadContext {
    DownloadList* downloads = nullptr;  // registers what is deleted at the end; the credentials
    std::wstring downloadFolder;        // with a trailing backslash
    bool keepFiles = false;             // accepted files stay after the run
    std::wstring stageText;             // the status line, "%s" for the name (with a sink)
    ProgressSink* sink = nullptr;
    // Logins and certificate errors are put to it (null: refused, as in a silent run).
    DownloadQuestions* questions = nullptr;
    // When set, no further job starts.
    const std::atomic<bool>* stop = nullptr;
};

// Fetches the job's file and checks its exact size, MD5 and SHA-256 (the digests are computed
// while the bytes arrive); a file that fails is deleted. Logs every step; an accepted file is
// registered for deletion unless the files are kept.
DownloadResult RunDownloadJob(const DownloadJob& job, DownloadContext& context);

// True when the job's result ends the download stage: its file was rejected, or it was
// mandatory and failed.
bool EndsStage(const DownloadJob& job, const DownloadResult& result);

using DownloadFinished = std::function<void(size_t job, const DownloadResult& result)>;

// Runs the jobs in order, one at a time, and tells `finished` about each one that ran. Returns 0,
// or 1603 when a file was rejected or a mandatory job failed; either ends the stage. A cancel
// through the sink ends it too, with 0.
uint32_t RunDownloadJobs(const std::vector<DownloadJob>& jobs, DownloadContext& context,
                         const DownloadFinished& finished);

struct SiteJob {
    std::wstring name;
    std::wstring url;
};

// Opens each site through `shell`; with a sink each site shows `stageText` ("%s" for the name)
// and, when `showMessage`, a message box with `message` follows.
void OpenPrerequisiteSites(const std::vector<SiteJob>& sites, DownloadList& downloads, ProgressSink* sink,
                           const SiteShell& shell, const std::wstring& stageText, const std::wstring& message,
                           bool showMessage);

} // namespace orvanta
