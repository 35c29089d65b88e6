// File names and paths that a download gets from its URL; pure text, no system.
#pragma once

#include <string>

namespace orvanta {

// The file name a URL's download gets: at most 41 characters from before the query's inner URL.
// Empty when the URL has none, or only dots and spaces ("." and ".." would name a folder).
std::wstring FileNameFromUrl(const std::wstring& url);
// download folder\subfolder\file name; `folder` is "subfolder" or "subfolder?file name".
std::wstring TargetPathFor(const std::wstring& downloadFolder, const std::wstring& url, const std::wstring& folder);

// "file:" URLs need no download: the local path they name, or empty for any other URL.
std::wstring LocalPathOfFileUrl(const std::wstring& url);

} // namespace orvanta
