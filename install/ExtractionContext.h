// Where a prerequisite's setup file and a search's program lie, and the clean-up of what was
// recorded for deletion when the chainer ends.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

class ExtractionContext final : public ProgramLocator {
public:
    ExtractionContext() = default;
    // Runs the cleanup pass when configured to and not done yet.
    ~ExtractionContext();
    ExtractionContext(const ExtractionContext&) = delete;
    ExtractionContext& operator=(const ExtractionContext&) = delete;

    void SetModule(const std::wstring& modulePath, const std::wstring& moduleFolder);
    void Configure(const std::wstring& extractionFolder, bool cleanUpWhenDestroyed);

    // Absolute names (drive or network path) unchanged, others below the base folder: setup
    // files are used where they lie.
    std::wstring GetPackageFilePath(const std::wstring& setupFile) const;
    std::wstring GetProgramPath(const std::wstring& name) const override;

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
    bool cleanUpWhenDestroyed_ = false;
    std::vector<std::wstring> filesToDelete_;
    std::vector<std::wstring> foldersToDelete_;
    bool cleanupDone_ = false;
};

} // namespace orvanta
