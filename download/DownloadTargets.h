// Where a prerequisite's download lands, and whether it is already there.
#pragma once

#include "config/Config.h"

#include <string>

namespace orvanta {

// The file name a URL's download gets: at most 41 characters from before the query's inner URL.
// Empty when the URL has none, or only dots and spaces ("." and ".." would name a folder).
std::wstring FileNameFromUrl(const std::wstring& url);
// download folder\subfolder\file name; `folder` is "subfolder" or "subfolder?file name".
std::wstring TargetPathFor(const std::wstring& downloadFolder, const std::wstring& url, const std::wstring& folder);

// "file:" URLs need no download: the local path they name, or empty for any other URL.
std::wstring LocalPathOfFileUrl(const std::wstring& url);

// True for a file: URL, or when the target file exists with the expected size (ExactSize 0:
// any size). A folder of that name, or a target without a file name, is not present.
bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq);

// The decision as the install stages see it: what a found prerequisite's source asks for, and
// a download that is already present.
PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index);

} // namespace orvanta
