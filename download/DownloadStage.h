// The download stage and the open-site stage of a run. Both take their work from the
// prerequisites' effective decisions, log each step and report to an optional sink (null in a
// silent run).
#pragma once

#include "platform/ResultCodes.h"

#include <cstdint>

namespace orvanta {

struct ChainerConfig;
class DownloadList;
class DownloadQuestions;
class ProgressSink;
struct SiteShell;

// Downloads every prerequisite whose effective decision is Download, checks each file's exact
// size, MD5 and SHA-256 (the digests are computed while the bytes arrive) and marks accepted
// files present. Returns 0, or 1603 when a file was rejected
// (and deleted) or a mandatory prerequisite could not be downloaded; either stops the stage.
// Accepted downloads are registered in `downloads` for deletion unless KeepFiles keeps them.
// Logins and certificate errors are put to `questions` (null: refused, as in a silent run).
uint32_t DownloadPrerequisites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink,
                               DownloadQuestions* questions = nullptr);

// Opens the site of every prerequisite whose effective decision is OpenSite; with a sink and
// without "q" in the general Options a message box follows each site. Both go through `shell`.
void OpenPrerequisiteSites(ChainerConfig& config, DownloadList& downloads, ProgressSink* sink,
                           const SiteShell& shell);

} // namespace orvanta
