// Where a prerequisite's download lands, and whether it is already there.
#pragma once

#include "config/Config.h"

#include <string>

namespace orvanta {

// The file name a URL's download gets: at most 41 characters from before the query's inner URL,
// taken from the URL without its "user:password@". Empty when the URL has none, or only dots
// and spaces ("." and ".." would name a folder).
std::wstring FileNameFromUrl(const std::wstring& url);
// download folder\subfolder\file name; `folder` is "subfolder" or "subfolder?file name".
std::wstring TargetPathFor(const std::wstring& downloadFolder, const std::wstring& url, const std::wstring& folder);
// True when `target`, with "." and ".." resolved, names a file below `downloadFolder` (no
// drive, stream or other folder reached through the Folder setting).
bool TargetStaysInFolder(const std::wstring& downloadFolder, const std::wstring& target);

// "file:" URLs need no download: the local path they name (without a "user:password@"), or
// empty for any other URL.
std::wstring LocalPathOfFileUrl(const std::wstring& url);

// True when the prerequisite's file is there and passes its checks (ExactSize, MD5, SHA256;
// each only when given): the local file of a file: URL, or the target file in the download
// folder. A target in the download folder that fails a check is deleted, so that it is
// downloaded again. A folder of that name, a target without a file name or one outside the
// download folder is not present.
bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq);

// The decision as the install stages see it: what a found prerequisite's source asks for, and
// a download that is already present.
PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index);

} // namespace orvanta
