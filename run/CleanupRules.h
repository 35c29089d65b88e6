// The decisions of the deferred cleanup, as pure functions: which listed files may be deleted,
// which folders are handed to the package's cleanup script, how that list is pruned and the
// PowerShell command line that hands it on.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvanta {

// Whether `path` lies inside `folder`, by whole path components ("C:\Pkg" contains "C:\Pkg\a",
// not "C:\Pkgs\a" or "C:\Pkg" itself). A trailing backslash of the folder is ignored; the
// comparison is exact, as the package writes both. An empty folder contains every path.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// A CleanupFiles entry as the path to delete, with "." and ".." segments resolved; empty when
// the entry may not be deleted: not a full path (drive or share), a wildcard, ".." above the
// root, or outside the cleanup folder.
std::wstring CleanupFileToDelete(const std::wstring& entry, const std::wstring& cleanupFolder);

// The folders handed to the script: from the chainer's folder upwards, innermost first, up to
// but not including the cleanup folder. Nothing when the chainer is not inside the cleanup
// folder (a folder that only shares the beginning of its name never ends the walk); with an
// empty cleanup folder the walk ends with the drive ("C:") or share ("\\server\share").
std::vector<std::wstring> FoldersToHandOn(const std::wstring& modulePath, const std::wstring& cleanupFolder);

// Appends a path unless it is empty or an entry equals it ignoring case.
void AddPathOnce(std::vector<std::wstring>& paths, const std::wstring& path);

// The list without the folders that still hold more than the one entry the script deletes first
// (a file stays; a folder stays with at most one entry).
std::vector<std::wstring> PruneHandOffPaths(const std::vector<std::wstring>& paths,
                                            const std::function<size_t(const std::wstring&)>& entryCount,
                                            const std::function<bool(const std::wstring&)>& isFolder);

// 'C:\a b','C:\c' : each path in single quotes (a quote inside doubled), joined by commas.
std::wstring PowerShellPathsArgument(const std::vector<std::wstring>& paths);

// -NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "<script> -paths
// <paths> -retry_count <n>". A script path with characters PowerShell would split or interpret
// (a space, for one) is written as & '<script>'.
std::wstring PowerShellParameters(const std::wstring& scriptCopy, const std::vector<std::wstring>& paths,
                                  int retryCount);

} // namespace orvanta
