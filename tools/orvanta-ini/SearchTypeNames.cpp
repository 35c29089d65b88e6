#include "SearchTypeNames.h"

#include "detection/Searches.h"

namespace orvanta_ini {

using orvanta::SearchType;

const char* SearchTypeName(int type)
{
    switch (static_cast<SearchType>(type)) {
    case SearchType::FileVersion: return "FileVersion";
    case SearchType::RegistryKeyNames: return "RegistryKeyNames";
    case SearchType::RegistryValueVersion: return "RegistryValueVersion";
    case SearchType::MsiProductVersion: return "MsiProductVersion";
    case SearchType::MsiUpgradeCodeVersions: return "MsiUpgradeCodeVersions";
    case SearchType::RegistryKeyExists: return "RegistryKeyExists";
    case SearchType::RegistryKeyAbsent: return "RegistryKeyAbsent";
    case SearchType::RegistryValueExists: return "RegistryValueExists";
    case SearchType::RegistryValueAbsent: return "RegistryValueAbsent";
    case SearchType::RegistryValueContent: return "RegistryValueContent";
    case SearchType::RunProgram: return "RunProgram";
    case SearchType::MsiComponentInstalled: return "MsiComponentInstalled";
    case SearchType::RegistryValueNames: return "RegistryValueNames";
    case SearchType::AppxPackageVersion: return "AppxPackageVersion";
    case SearchType::FolderNameVersions: return "FolderNameVersions";
    default: return nullptr;
    }
}

bool SearchStringIsExpanded(int type)
{
    return static_cast<SearchType>(type) == SearchType::FileVersion ||
           static_cast<SearchType>(type) == SearchType::FolderNameVersions;
}

} // namespace orvanta_ini
