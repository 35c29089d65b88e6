// The download stage and the open-site stage of a run. Both take their work from the
// prerequisites' effective decisions, log each step and report to an optional sink (null in a
// silent run).
#pragma once

#include <cstdint>

namespace orvanta {

struct ChainerConfig;
class DownloadList;
class DownloadQuestions;
class ProgressSink;

// Reported to the sink when a downloaded file fails its size, MD5 or SHA-256 check.
constexpr uint32_t DLERR_REJECTED = 0xE0000022;
// Reported to the sink with the prerequisite's name when a mandatory download failed.
constexpr uint32_t DLERR_MANDATORY_FAILED = 0xE0000024;

// Downloads every prerequisite whose effective decision is Download, checks each file's exact
// size, MD5 and SHA-256 (the digests are computed while the bytes arrive) and marks accepted
// files present. Returns 0, or 1603 when a file was rejected
// (and deleted) or a mandatory prerequisite could not be downloaded; either stops the stage.
// Accepted downloads are registered in `downloads` for deletion unless KeepFiles keeps them.
// Logins and certificate errors are put to `questions` (null: refused, as in a silent run).
uint32_t DownloadPrerequisites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink,
                               DownloadQuestions* questions = nullptr);

// Opens the site of every prerequisite whose effective decision is OpenSite; with a sink and
// without "q" in the general Options a message box follows each site.
void OpenPrerequisiteSites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink);

} // namespace orvanta
