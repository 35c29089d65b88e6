// Where a prerequisite's setup file and a search's program lie.
#pragma once

#include "config/Config.h"

#include <string>

namespace orvanta {

class ExtractionContext final : public ProgramLocator {
public:
    void SetModule(const std::wstring& modulePath, const std::wstring& moduleFolder);
    void Configure(const std::wstring& extractionFolder);

    // Absolute names (drive or network path) unchanged, others below the base folder: setup
    // files are used where they lie.
    std::wstring GetPackageFilePath(const std::wstring& setupFile) const;
    std::wstring GetProgramPath(const std::wstring& name) const override;

    const std::wstring& ExtractionFolder() const { return extractionFolder_; }
    const std::wstring& ModuleFolder() const { return moduleFolder_; }

private:
    std::wstring BaseFolder() const;

    std::wstring modulePath_;
    std::wstring moduleFolder_;
    std::wstring extractionFolder_;
};

} // namespace orvanta
