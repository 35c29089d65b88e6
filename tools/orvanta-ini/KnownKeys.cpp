#include "KnownKeys.h"

#include "detection/Searches.h"

namespace orvanta_ini {

using orvanta::SearchType;

const wchar_t kGeneralSection[] = L"GeneralOptions";
const wchar_t kPrerequisitesSection[] = L"PREREQUISITES";
const wchar_t kChainerSection[] = L"PREREQ_CHAINER";

const std::vector<std::wstring>& GeneralKeys()
{
    static const std::vector<std::wstring> keys = {
        L"MainAppCmdLine", L"Options",       L"UpdatesUrl",       L"ProductVersion", L"MinWIVer",
        L"DownloadFolder", L"MainAppURL",    L"UwpAppxURL",       L"LanguageList",   L"ExtractionFolder",
        L"KeepFiles",      L"PackJars",      L"AllPlatforms",     L"Is64PlatformTransf", L"Langs",
        L"PackageCode",    L"DefaultProdCode", L"ProductCode",    L"UpgradeCode",    L"ExtUIStub",
        L"SaveExtUIStub",  L"FileExtractFirst", L"MsiCertData",   L"AppxVersion",    L"AppxPkId",
        L"Language",
    };
    return keys;
}

const std::vector<std::wstring>& PrerequisiteKeys()
{
    // SHA256 is read by the integrity check of downloads.
    static const std::vector<std::wstring> keys = {
        L"VerMin",       L"VerMax",         L"WinNTVersions",      L"WinNT64Versions", L"SetupFile",
        L"OpenSite",     L"Url",            L"ExactSize",          L"MD5",             L"SHA256",
        L"Operator",     L"CommandLine",    L"BasicUiCommandLine", L"NoUiCommandLine", L"Options",
        L"RetValPropName", L"ParentPrereq", L"Folder",             L"LanguageList",    L"InstallCond",
    };
    return keys;
}

const std::vector<std::wstring>& SearchKeyStems()
{
    static const std::vector<std::wstring> stems = {L"SearchType", L"SearchString", L"VerMin",
                                                    L"VerMax",     L"RefContent",   L"SearchCmdLine"};
    return stems;
}

const std::vector<std::wstring>& ChainerKeys()
{
    static const std::vector<std::wstring> keys = {L"CleanupFiles", L"CleanupFolders", L"LogFile",
                                                   L"CleanupScript"};
    return keys;
}

const std::vector<OptionLetter>& GeneralOptionLetters()
{
    static const std::vector<OptionLetter> letters = {{L'q', "silent"}, {L'b', "basic interface"}};
    return letters;
}

const std::vector<OptionLetter>& PrerequisiteOptionLetters()
{
    static const std::vector<OptionLetter> letters = {
        {L'i', "not searched for (taken as missing, left out of the mandatory check)"},
        {L'm', "mandatory"},
        {L'c', "not on ARM64 machines"},
        {L'd', "only on ARM64 machines"},
        {L'x', "64-bit searches"},
        {L'r', "reboot after a successful install"},
        {L'R', "reboot also when found installed"},
    };
    return letters;
}

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
