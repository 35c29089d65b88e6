#include "config/Config.h"

#include "platform/Strings.h"

namespace orvanta {
namespace {

std::wstring NumberedKey(const wchar_t* stem, int number)
{
    return stem + DecimalText(static_cast<uint32_t>(number));
}

KeepFilesMode ParseKeepFiles(const std::wstring& text)
{
    if (text == L"complete")
        return KeepFilesComplete;
    if (text == L"minimum")
        return KeepFilesMinimum;
    if (text == L"prereqs")
        return KeepFilesPrereqs;
    return KeepFilesNone;
}

// Only the keys the chainer acts on are read; the others are known to the schema alone.
void ReadGeneralOptions(const IniSection& section, GeneralOptions& general)
{
    std::wstring text;
    if (section.GetValue(L"Options", text))
        general.options = ParseGeneralOptions(text);
    section.GetValue(L"DownloadFolder", general.DownloadFolder);
    section.GetValue(L"ExtractionFolder", general.ExtractionFolder);
    if (section.GetValue(L"KeepFiles", text))
        general.KeepFiles = ParseKeepFiles(text);
    section.GetValue(L"DefaultProdCode", general.DefaultProdCode);
    section.GetValue(L"Language", general.Language);
    if (section.GetValue(L"DownloadAhead", text))
        general.DownloadAhead = text == L"1";
    if (section.GetValue(L"ExitCodes", text) && text == L"msi")
        general.ExitCodes = ExitCodeStyle::Msi;
}

bool ReadSource(const IniSection& section, PrereqInfo& info)
{
    if (section.GetValue(L"SetupFile", info.source)) {
        info.sourceKind = SourceSetupFile;
        return true;
    }
    if (section.GetValue(L"OpenSite", info.source)) {
        info.sourceKind = SourceOpenSite;
        return true;
    }
    if (section.GetValue(L"Url", info.source)) {
        info.sourceKind = SourceUrl;
        return true;
    }
    return false;
}

} // namespace

const wchar_t* DecisionText(PrereqDecision decision)
{
    switch (decision) {
    case AcceptableFound: return L"An acceptable version was found.";
    case InstallFromPackage: return L"No acceptable version found. It must be installed from package.";
    case Download: return L"No acceptable version found. It must be downloaded.";
    case OpenSite: return L"No acceptable version found. It must be downloaded manually from a site.";
    case OsNotSupported: return L"No acceptable version found. Operating System not supported.";
    case AlreadyDownloaded:
        return L"No acceptable version found. It is already downloaded and it will be installed.";
    case NotFound: return L"No acceptable version found.";
    case NotSelected: return L"Not selected for install.";
    default: return L"Undefined";
    }
}

bool ReadSearches(const IniSection& section, std::vector<PrereqSearch>& searches)
{
    for (int number = 1;; ++number) {
        std::wstring type;
        if (!section.GetValue(NumberedKey(L"SearchType", number), type))
            return true;
        PrereqSearch search;
        search.SearchType = ParseDecimal(type);
        if (!section.GetValue(NumberedKey(L"SearchString", number), search.SearchString))
            return false;
        section.GetValue(NumberedKey(L"VerMin", number), search.VerMin);
        section.GetValue(NumberedKey(L"VerMax", number), search.VerMax);
        section.GetValue(NumberedKey(L"RefContent", number), search.RefContent);
        section.GetValue(NumberedKey(L"SearchCmdLine", number), search.SearchCmdLine);
        searches.push_back(std::move(search));
    }
}

bool ReadPrerequisite(const IniFile& ini, int number, PrereqInfo& info, PrereqReadFailure* failure)
{
    const auto fail = [failure](PrereqReadFailure why) {
        if (failure != nullptr)
            *failure = why;
        return false;
    };
    const IniSection* list = ini.FindSection(kPrerequisitesSection);
    if (list == nullptr || !list->GetValue(NumberedKey(L"App", number), info.name))
        return fail(PrereqReadFailure::NoEntry);
    const IniSection* section = ini.FindSection(info.name);
    if (section == nullptr)
        return fail(PrereqReadFailure::NoSection);

    std::wstring text;
    section->GetValue(L"WinNTVersions", info.WinNTVersions);
    section->GetValue(L"WinNT64Versions", info.WinNT64Versions);
    if (!ReadSource(*section, info))
        return fail(PrereqReadFailure::NoSource);
    if (section->GetValue(L"ExactSize", text))
        info.ExactSize = ParseDecimal64(text);
    section->GetValue(L"MD5", info.MD5);
    section->GetValue(L"SHA256", info.SHA256);
    section->GetValue(L"Signer", info.Signer);
    if (info.sourceKind == SourceUrl) {
        // A missing number is skipped: the mirrors keep the order of their numbers.
        for (int mirror = 2; mirror <= kLastMirrorNumber; ++mirror) {
            if (section->GetValue(NumberedKey(L"Url", mirror), text) && !text.empty())
                info.mirrors.push_back(text);
        }
    }
    if (section->GetValue(L"Operator", text))
        info.Operator = ParseDecimal(text);
    section->GetValue(L"CommandLine", info.CommandLine);
    if (section->GetValue(L"Options", text))
        info.options = ParsePrereqOptions(text);
    section->GetValue(L"RetValPropName", info.RetValPropName);
    section->GetValue(L"ParentPrereq", info.ParentPrereq);
    section->GetValue(L"Folder", info.Folder);
    section->GetValue(L"LanguageList", info.LanguageList);
    return ReadSearches(*section, info.searches) || fail(PrereqReadFailure::SearchWithoutString);
}

ChainerConfig ParseConfig(const IniFile& ini, PrereqListEnd* end)
{
    ChainerConfig config;
    if (const IniSection* general = ini.FindSection(kGeneralSection))
        ReadGeneralOptions(*general, config.general);

    for (int number = 1;; ++number) {
        PrereqInfo info;
        PrereqReadFailure failure = PrereqReadFailure::NoEntry;
        if (!ReadPrerequisite(ini, number, info, &failure)) {
            if (end != nullptr)
                *end = PrereqListEnd{number, failure};
            break;
        }
        if (!info.LanguageList.empty() && info.LanguageList.back() != L';')
            info.LanguageList += L';';
        config.prerequisites.push_back(std::move(info));
    }
    return config;
}

bool ReadCleanupSettings(const IniFile& ini, CleanupSettings& settings)
{
    const IniSection* section = ini.FindSection(kChainerSection);
    if (section == nullptr)
        return false;
    section->GetValue(L"CleanupFiles", settings.CleanupFiles);
    section->GetValue(L"CleanupFolders", settings.CleanupFolders);
    section->GetValue(L"LogFile", settings.LogFile);
    section->GetValue(L"CleanupScript", settings.CleanupScript);
    section->GetValue(L"ResultFile", settings.ResultFile);
    return true;
}

bool IsSilent(const ChainerConfig& config)
{
    return config.general.options.Has(GeneralOption::Silent);
}

bool ShowsBasicInterface(const ChainerConfig& config)
{
    return !IsSilent(config) && config.general.options.Has(GeneralOption::BasicInterface);
}

} // namespace orvanta
