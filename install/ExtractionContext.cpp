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

void ExtractionContext::Configure(const std::wstring& extractionFolder, uint32_t optionFlags,
                                  uint32_t keepFilesMode, bool cleanUpWhenDestroyed)
{
    extractionFolder_ = extractionFolder;
    optionFlags_ = optionFlags;
    keepFilesMode_ = keepFilesMode;
    cleanUpWhenDestroyed_ = cleanUpWhenDestroyed;
}

std::wstring ExtractionContext::BaseFolder() const
{
    return extractionFolder_.empty() ? moduleFolder_ : extractionFolder_;
}

std::wstring ExtractionContext::GetPackageFilePath(const std::wstring& setupFile, int32_t& entryId) const
{
    entryId = -1;
    const bool absolute =
        setupFile.size() >= 2 && ((setupFile[0] == L'\\' && setupFile[1] == L'\\') || setupFile[1] == L':');
    return absolute ? setupFile : BaseFolder() + setupFile;
}

std::wstring ExtractionContext::GetProgramPath(const std::wstring& name) const
{
    return BaseFolder() + name;
}

uint32_t ExtractionContext::ExtractFiles(const std::vector<int32_t>& entryIds, ProgressSink*)
{
    // No entry is ever packed inside the chainer: every id is -1 and is left out.
    (void)entryIds;
    return 0;
}

bool ExtractionContext::RunCleanupPass()
{
    // Keep-files mode 3 keeps whatever the context extracted itself; only the listed paths go.
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
