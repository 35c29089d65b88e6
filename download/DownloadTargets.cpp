#include "download/DownloadTargets.h"

#include "platform/Paths.h"
#include "platform/Text.h"

namespace orvanta {
bool DownloadPresent(ChainerConfig& config, const PrereqInfo& prereq)
{
    if (StartsWithIgnoringAsciiCase(prereq.source, L"file://"))
        return true;
    const std::wstring target = TargetPathFor(GetDownloadFolder(config), prereq.source, prereq.Folder);
    if (target.empty() || target.back() == L'\\')
        return false;
    // Attributes rather than a find: a name with wildcards must not match some other file, and
    // a folder of that name is no download.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(MakeLongPath(target).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    return prereq.ExactSize == 0 ||
           (data.nFileSizeHigh == 0 && static_cast<DWORD>(prereq.ExactSize) == data.nFileSizeLow);
}

PrereqDecision EffectiveDecision(ChainerConfig& config, size_t index)
{
    PrereqInfo& prereq = config.prerequisites.at(index);
    if (!prereq.selected)
        return NotSelected;
    if (prereq.decision == AcceptableFound) {
        switch (prereq.sourceKind) {
        case SourceUrl: return DownloadPresent(config, prereq) ? AlreadyDownloaded : Download;
        case SourceOpenSite: return OpenSite;
        default: return InstallFromPackage;
        }
    }
    if (prereq.decision == Download && prereq.downloadPresent)
        return AlreadyDownloaded;
    return prereq.decision;
}

} // namespace orvanta
