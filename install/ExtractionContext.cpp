#include "install/ExtractionContext.h"

#include "platform/Paths.h"

#include <windows.h>

namespace orvanta {

ExtractionContext::~ExtractionContext()
{
    if (!cleanUpWhenDestroyed_ || cleanupDone_)
        return;
    try {
        RunCleanupPass();
    } catch (...) {
        // Out of memory while the chainer ends: the paths stay; a destructor must not throw.
    }
}

void ExtractionContext::SetModule(const std::wstring& modulePath, const std::wstring& moduleFolder)
{
    modulePath_ = modulePath;
    moduleFolder_ = moduleFolder;
}

void ExtractionContext::Configure(const std::wstring& extractionFolder, bool cleanUpWhenDestroyed)
{
    extractionFolder_ = extractionFolder;
    cleanUpWhenDestroyed_ = cleanUpWhenDestroyed;
}

std::wstring ExtractionContext::BaseFolder() const
{
    return extractionFolder_.empty() ? moduleFolder_ : extractionFolder_;
}

std::wstring ExtractionContext::GetPackageFilePath(const std::wstring& setupFile) const
{
    const bool absolute =
        setupFile.size() >= 2 && ((setupFile[0] == L'\\' && setupFile[1] == L'\\') || setupFile[1] == L':');
    return absolute ? setupFile : BaseFolder() + setupFile;
}

std::wstring ExtractionContext::GetProgramPath(const std::wstring& name) const
{
    return BaseFolder() + name;
}

bool ExtractionContext::RunCleanupPass()
{
    std::vector<std::wstring> failedFiles;
    for (const std::wstring& file : filesToDelete_) {
        if (!::DeleteFileW(MakeLongPath(file).c_str()))
            failedFiles.push_back(file);
    }
    std::vector<std::wstring> failedFolders;
    for (auto folder = foldersToDelete_.rbegin(); folder != foldersToDelete_.rend(); ++folder) {
        if (!::RemoveDirectoryW(MakeLongPath(*folder).c_str()))
            failedFolders.insert(failedFolders.begin(), *folder);
    }
    filesToDelete_ = std::move(failedFiles);
    foldersToDelete_ = std::move(failedFolders);
    cleanupDone_ = filesToDelete_.empty() && foldersToDelete_.empty();
    return cleanupDone_;
}

} // namespace orvanta
