#include "download/SiteOpener.h"

#include "download/DownloadList.h"
#include "platform/Logger.h"
#include "platform/MessageBox.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <shellapi.h>

namespace orvanta {
namespace {

bool ShellOpenFile(const std::wstring& path)
{
    FlushLog();  // as before every program the chainer starts
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

int ShowSiteMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    return ShowMessageBox(owner, text.c_str(), caption.c_str(), type);
}

const SiteShell kRealShell{ShellOpenFile, ShowSiteMessage};

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

const SiteShell& RealSiteShell()
{
    return kRealShell;
}

std::string InternetShortcutText(const std::wstring& url)
{
    return "[InternetShortcut]\r\nURL=" + WideToMultiByte(url, CP_THREAD_ACP) + "\r\n";
}

void OpenSiteUrl(const std::wstring& url, DownloadList& downloads, const SiteShell& shell)
{
    const std::wstring shortcut = CreateTempFileName(GetTempFolder(), L"URL", L".url");
    if (shortcut.empty())
        return;
    if (WriteWholeFile(shortcut, InternetShortcutText(url)))
        shell.openFile(shortcut);
    downloads.RegisterFileForDeletion(shortcut);
}

} // namespace orvanta
