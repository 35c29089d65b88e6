// Opening a prerequisite's web site through an Internet-shortcut file, so the user's own
// handler for the URL (usually the browser) opens it.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

class DownloadList;

// The shell calls behind opening a site. Tests hand in their own so that no browser and no
// message box appears.
struct SiteShell {
    // ShellExecuteW "open" on the shortcut file; true when the shell started it.
    bool (*openFile)(const std::wstring& path);
    // MessageBoxW; returns its result.
    int (*showMessage)(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
};
// ShellExecuteW and MessageBoxW.
const SiteShell& RealSiteShell();

// The shortcut file's content: "[InternetShortcut]", then "URL=" and the URL in the thread's
// ANSI code page, each line ended by CR LF.
std::string InternetShortcutText(const std::wstring& url);

// Writes a new temporary .url file for `url`, opens it through `shell` when it was written,
// and registers the file in `downloads` for deletion at the end of the run. Failures are
// silent: the user is not told when no site opens.
void OpenSiteUrl(const std::wstring& url, DownloadList& downloads, const SiteShell& shell);

} // namespace orvanta
