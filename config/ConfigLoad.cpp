// The parts of loading the configuration that need the system: references in download and
// site URLs, the extraction folder's normal form, the stage texts of the string table and the
// folders resolved for the run.
#include "config/Config.h"

#include "config/FolderProperties.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/resource.h"

namespace orvanta {

ChainerConfig LoadConfig(const IniFile& ini)
{
    ChainerConfig config = ParseConfig(ini);
    config.general.ExtractionFolder = WithTrailingBackslash(NormalizePath(config.general.ExtractionFolder));
    for (PrereqInfo& info : config.prerequisites) {
        if (info.sourceKind == SourceUrl || info.sourceKind == SourceOpenSite)
            info.source = ExpandReferences(info.source, false);
        for (std::wstring& mirror : info.mirrors)
            mirror = ExpandReferences(mirror, false);
    }
    return config;
}

std::wstring ChainerConfig::GetStageText(int kind) const
{
    // Kind 4 has no default. Kind 5 is the message after a site was opened: a box without a
    // message would leave the user guessing what to do in the browser.
    static const UINT defaults[] = {IDS_SEARCHING, IDS_DOWNLOADING, IDS_INSTALLING, IDS_OPENING_SITE, 0, IDS_SITE_OPENED};
    static_assert(sizeof(defaults) / sizeof(defaults[0]) == std::tuple_size<decltype(stageTexts)>::value,
                  "one default per stage text");
    if (kind < 0 || kind >= static_cast<int>(stageTexts.size()))
        return {};
    const std::wstring& text = stageTexts[static_cast<size_t>(kind)];
    if (text.empty() && defaults[kind] != 0)
        return LoadStringResource(defaults[kind]);
    return text;
}

std::wstring DefaultPackageFolder(const ChainerConfig& config)
{
    return WithTrailingBackslash(GetTempFolder()) + WithTrailingBackslash(config.general.DefaultProdCode);
}

std::wstring ResolveConfiguredFolder(const ChainerConfig& config, const std::wstring& configured)
{
    if (configured.empty())
        return DefaultPackageFolder(config);
    return WithTrailingBackslash(NormalizePath(ExpandReferences(configured, false)));
}

} // namespace orvanta
