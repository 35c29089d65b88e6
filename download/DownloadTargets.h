// Where a prerequisite's download lands, and whether it is already there.
#pragma once

#include "config/Config.h"
#include "download/DownloadNames.h"

#include <string>

namespace orvanta {

// True for a file: URL, or when the target file exists with the expected size (ExactSize 0:
// any size). A folder of that name, or a target without a file name, is not present.
bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq);

// The decision as the install stages see it: what a found prerequisite's source asks for, and
// a download that is already present.
PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index);

} // namespace orvanta
