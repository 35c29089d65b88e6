#include "install/ExtractionContext.h"

namespace orvanta {

void ExtractionContext::SetModule(const std::wstring& modulePath, const std::wstring& moduleFolder)
{
    modulePath_ = modulePath;
    moduleFolder_ = moduleFolder;
}

void ExtractionContext::Configure(const std::wstring& extractionFolder)
{
    extractionFolder_ = extractionFolder;
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

} // namespace orvanta
