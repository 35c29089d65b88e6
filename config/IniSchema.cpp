#include "config/IniSchema.h"

namespace orvanta {
namespace {

template <typename Option>
OptionSet<Option> ParseOptions(const std::wstring& text, const std::vector<OptionLetter<Option>>& letters)
{
    OptionSet<Option> options;
    for (const OptionLetter<Option>& letter : letters) {
        if (text.find(letter.letter) != std::wstring::npos)
            options.Add(letter.option);
    }
    return options;
}

} // namespace

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
        L"Language",       L"DownloadAhead",  L"ExitCodes",
    };
    return keys;
}

const std::vector<std::wstring>& PrerequisiteKeys()
{
    static const std::vector<std::wstring> keys = {
        L"VerMin",       L"VerMax",         L"WinNTVersions",      L"WinNT64Versions", L"SetupFile",
        L"OpenSite",     L"Url",            L"ExactSize",          L"MD5",             L"SHA256",
        L"Operator",     L"CommandLine",    L"BasicUiCommandLine", L"NoUiCommandLine", L"Options",
        L"RetValPropName", L"ParentPrereq", L"Folder",             L"LanguageList",    L"InstallCond",
        L"Signer",       L"Url2",           L"Url3",               L"Url4",            L"Url5",
        L"Url6",         L"Url7",           L"Url8",               L"Url9",
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
                                                   L"CleanupScript", L"ResultFile"};
    return keys;
}

const std::vector<OptionLetter<GeneralOption>>& GeneralOptionLetters()
{
    static const std::vector<OptionLetter<GeneralOption>> letters = {
        {GeneralOption::Silent, L'q', "silent"},
        {GeneralOption::BasicInterface, L'b', "basic interface"},
    };
    return letters;
}

const std::vector<OptionLetter<PrereqOption>>& PrerequisiteOptionLetters()
{
    static const std::vector<OptionLetter<PrereqOption>> letters = {
        {PrereqOption::NotSearched, L'i', "not searched for (taken as missing, left out of the mandatory check)"},
        {PrereqOption::Mandatory, L'm', "mandatory"},
        {PrereqOption::NotOnArm64, L'c', "not on ARM64 machines"},
        {PrereqOption::OnlyOnArm64, L'd', "only on ARM64 machines"},
        {PrereqOption::Searches64Bit, L'x', "64-bit searches"},
        {PrereqOption::RebootAfterInstall, L'r', "reboot after a successful install"},
        {PrereqOption::RebootWhenFound, L'R', "reboot also when found installed"},
    };
    return letters;
}

GeneralOptionSet ParseGeneralOptions(const std::wstring& text)
{
    return ParseOptions(text, GeneralOptionLetters());
}

PrereqOptionSet ParsePrereqOptions(const std::wstring& text)
{
    return ParseOptions(text, PrerequisiteOptionLetters());
}

} // namespace orvanta
