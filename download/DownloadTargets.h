// Where a prerequisite's download lands, and whether it is already there.
#pragma once

#include "download/DownloadJob.h"
#include "download/DownloadNames.h"

#include <string>

namespace orvanta {

// True when `target`, with "." and ".." resolved, names a file below `downloadFolder` (no
// drive, stream or other folder reached through the Folder setting).
bool TargetStaysInFolder(const std::wstring& downloadFolder, const std::wstring& target);

// True when the job's file is there and passes every check the job gives (hashing the whole
// file), as anything must before it may be started: the local file of a file: URL, or the
// target file in `downloadFolder`. A target in the download folder that fails a check is
// deleted, so that it is downloaded again. A folder of that name, a target without a file name
// or one outside the download folder is not present.
bool DownloadPresent(const std::wstring& downloadFolder, const DownloadJob& job);

// Where the job's file is started from once it is there: the local file of a file: URL, else
// its target in the download folder.
std::wstring LaunchPathOf(const std::wstring& downloadFolder, const DownloadJob& job);

} // namespace orvanta
