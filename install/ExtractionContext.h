// Where a prerequisite's setup file and a search's program lie, and the clean-up of what was
// recorded for deletion when the chainer ends.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

class ProgressSink;

class ExtractionContext final : public ProgramLocator {
public:
    ExtractionContext() = default;
    // Runs the cleanup pass when configured to and not done yet.
    ~ExtractionContext();
    ExtractionContext(const ExtractionContext&) = delete;
    ExtractionContext& operator=(const ExtractionContext&) = delete;

    void SetModule(const std::wstring& modulePath, const std::wstring& moduleFolder);
    void Configure(const std::wstring& extractionFolder, uint32_t optionFlags, uint32_t keepFilesMode,
                   bool cleanUpWhenDestroyed);

    // Absolute names (drive or network path) unchanged, others below the base folder.
    // The entry id is always -1: setup files are used in place.
    std::wstring GetPackageFilePath(const std::wstring& setupFile, int32_t& entryId) const;
    std::wstring GetProgramPath(const std::wstring& name) const override;
    // Extracts the listed entries; nothing is ever packed, so an empty list gives 0 at once.
    uint32_t ExtractFiles(const std::vector<int32_t>& entryIds, ProgressSink* progress);

    void AddFileToDelete(const std::wstring& path) { filesToDelete_.push_back(path); }
    void AddFolderToDelete(const std::wstring& path) { foldersToDelete_.push_back(path); }
    // Deletes the listed files, then the listed folders from the last to the first; what fails
    // stays listed for a later pass. True when nothing is left.
    bool RunCleanupPass();
    bool CleanupDone() const { return cleanupDone_; }
    const std::vector<std::wstring>& FilesToDelete() const { return filesToDelete_; }
    const std::vector<std::wstring>& FoldersToDelete() const { return foldersToDelete_; }

    const std::wstring& ExtractionFolder() const { return extractionFolder_; }
    const std::wstring& ModuleFolder() const { return moduleFolder_; }

private:
    std::wstring BaseFolder() const;

    std::wstring modulePath_;
    std::wstring moduleFolder_;
    std::wstring extractionFolder_;
    uint32_t optionFlags_ = 0;
    uint32_t keepFilesMode_ = 0;
    bool cleanUpWhenDestroyed_ = false;
    std::vector<std::wstring> filesToDelete_;
    std::vector<std::wstring> foldersToDelete_;
    bool cleanupDone_ = false;
};

} // namespace orvanta
