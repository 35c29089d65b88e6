// Where a prerequisite's download lands, and whether it is already there.
#pragma once

#include "config/Config.h"
#include "download/DownloadNames.h"

#include <string>

namespace orvanta {

// True when `target`, with "." and ".." resolved, names a file below `downloadFolder` (no
// drive, stream or other folder reached through the Folder setting).
bool TargetStaysInFolder(const std::wstring& downloadFolder, const std::wstring& target);

// How a file that is already there is checked. Before anything may start it, every check the
// prerequisite gives is run (hashing the whole file); the re-checks after the installers ran only
// ask whether it is there, and nothing starts it after them.
enum class PresenceCheck { BeforeLaunch, AfterInstall };

// True when the prerequisite's file is there and passes its checks (ExactSize, MD5, SHA256;
// each only when given; AfterInstall: ExactSize only): the local file of a file: URL, or the
// target file in the download folder. A target in the download folder that fails a check is
// deleted, so that it is downloaded again. A folder of that name, a target without a file name
// or one outside the download folder is not present.
bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq,
                     PresenceCheck check = PresenceCheck::BeforeLaunch);

// The decision as the install stages see it: what a found prerequisite's source asks for, and
// a download that is already present.
PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index,
                                 PresenceCheck check = PresenceCheck::BeforeLaunch);

} // namespace orvanta
