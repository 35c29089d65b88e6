// Path helpers: long-path prefixes, clean-up, folder creation and removal beyond MAX_PATH,
// and loading libraries only from the system folder. Backslash is the only separator.
#pragma once

#include "platform/UniqueResource.h"

#include <string>
#include <vector>

namespace orvanta {

// "\\?\C:\x" for a drive path, "\\?\UNC\srv\share\x" for a network path \\srv\share\x; a path that
// is prefixed already or relative stays as it is.
std::wstring WithLongPathPrefix(const std::wstring& path);
// The plain path behind a long-path prefix: "\\?\UNC\srv\share\x" gives \\srv\share\x and
// "\\?\C:\x" gives C:\x; a path without prefix stays as it is.
std::wstring WithoutLongPathPrefix(const std::wstring& path);
// WithLongPathPrefix for a path of 248 characters or more; shorter paths stay as they are.
std::wstring MakeLongPath(const std::wstring& path);
// Without long-path prefix, trailing backslashes and repeated backslashes.
std::wstring NormalizePath(const std::wstring& path);
// The file's final path as the system reports it ("\\?\" included), or the path unchanged.
std::wstring GetFinalPath(const std::wstring& path);
// Text before the last backslash; empty when there is none.
std::wstring GetParentFolder(const std::wstring& path);
// Text after the last backslash (the whole text when there is none).
std::wstring GetFileNamePart(const std::wstring& path);

// False on failure, with the system error left in GetLastError.
bool RemoveDirectoryLong(const std::wstring& path);
// Removes the empty folders above `path` up to (not including) `stopFolder`.
void RemoveEmptyParentFolders(const std::wstring& path, const std::wstring& stopFolder);
// Creates every missing folder of `path` (its last component too when lastIsFolder); returns 0
// or the error of the step that stopped it. Created folders are appended to createdFolders.
DWORD CreateFolderTree(const std::wstring& path, bool lastIsFolder,
                       std::vector<std::wstring>* createdFolders = nullptr);

// The system folder (System32) + "\" + name; empty with the error kept on failure.
std::wstring SystemFolderPath(const std::wstring& name);
// Loads `name` from the system folder only, and its dependencies too where the system supports
// the search flags; null with the error kept on failure.
UniqueModule LoadSystemLibrary(const std::wstring& name);
// Restricts the process's DLL search to the system folder (where the system supports it).
void RestrictDllSearchToSystemFolder();

// The module path of the running executable (empty on failure or truncation).
std::wstring GetModulePath();
// GetWindowsDirectoryW's answer; empty on failure or truncation.
std::wstring GetWindowsFolder();
// A shell folder by CSIDL: SHGetSpecialFolderLocation with SHGetPathFromIDListW, or where that
// function fails SHGetFolderPathW from shfolder.dll. False when neither gives a path.
bool GetSpecialFolderPath(int csidl, std::wstring& path);

} // namespace orvanta
