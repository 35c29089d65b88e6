#include "download/DownloadList.h"

#include "download/CredentialStore.h"
#include "platform/Paths.h"

#include <windows.h>

namespace orvanta {

CredentialStore& ProcessCredentialStore()
{
    static CredentialStore store;
    return store;
}

DownloadList::~DownloadList()
{
    DeleteRegistered();
}

void DownloadList::RegisterFileForDeletion(const std::wstring& path)
{
    files_.push_back(path);
}

void DownloadList::RegisterFolderForDeletion(const std::wstring& path)
{
    folders_.push_back(path);
}

void DownloadList::DeleteRegistered()
{
    for (const std::wstring& file : files_)
        ::DeleteFileW(MakeLongPath(file).c_str());
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
        RemoveDirectoryLong(*folder);
    files_.clear();
    folders_.clear();
}

} // namespace orvanta
