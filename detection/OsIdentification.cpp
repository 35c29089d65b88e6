#include "detection/OsIdentification.h"

#include "platform/Logger.h"
#include "platform/Text.h"

#include <windows.h>

namespace orvanta {

const wchar_t kWholePlatformX86[] =
    L"Windows 9x/ME/NT/2000/XP/Vista/Windows 7/Windows 8 x86/Windows 8.1 x86/Windows 10 x86";
const wchar_t kWholePlatformX64[] =
    L"Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64/Windows 10 x64/Windows 11 x64";

namespace {

const wchar_t kNotIdentified[] = L"OsNotIdentified";

bool Is(const OsVersionInfo& info, uint32_t major, uint32_t minor)
{
    return info.major == major && info.minor == minor;
}

// The 64-bit server names exist only where both flags are set.
bool ServerX64(const OsVersionInfo& info)
{
    return info.server && info.wow64;
}

std::wstring WithArchitecture(const std::wstring& name, bool wow64)
{
    return name + (wow64 ? L" x64" : L" x86");
}

// " RTM", " SP1", ... for the listed service packs, nothing for the others.
std::wstring ServicePackPart(uint32_t servicePack, uint32_t firstListed, uint32_t lastListed, bool rtmAtZero)
{
    if (servicePack == 0 && rtmAtZero)
        return L" RTM";
    if (servicePack >= firstListed && servicePack <= lastListed)
        return Format(L" SP%u", servicePack);
    return {};
}

struct Windows10Build {
    uint32_t build;
    const wchar_t* serverName;  // null: no server was released with this build
    const wchar_t* version;
};

const Windows10Build kWindows10Builds[] = {
    {10240, nullptr, L"1507"},
    {10586, nullptr, L"1511"},
    {14393, L"Windows Server 2016 x64", L"1607"},
    {15063, nullptr, L"1703"},
    {16299, nullptr, L"1709"},
    {17134, nullptr, L"1803"},
    {17763, L"Windows Server 2019 x64", L"1809"},
    {18362, nullptr, L"1903"},
    {18363, nullptr, L"1909"},
    {19041, nullptr, L"2004"},
    {19042, nullptr, L"20H2"},
    {19043, nullptr, L"21H1"},
    {19044, nullptr, L"21H2"},
    {19045, nullptr, L"22H2"},
    {20348, L"Windows Server 2022 x64", L"21H2"},
};

std::wstring Windows11DetailedName(const OsVersionInfo& info)
{
    switch (info.build) {
    case 22000:
        return L"Windows 11 version 21H2 x64";
    case 22621:
        return L"Windows 11 version 22H2 x64";
    case 22631:
        return L"Windows 11 version 23H2 x64";
    default:
        return ServerX64(info) ? L"Windows Server x64" : L"Windows 11 x64";
    }
}

std::wstring Windows10DetailedName(const OsVersionInfo& info)
{
    for (const Windows10Build& known : kWindows10Builds) {
        if (known.build != info.build)
            continue;
        if (ServerX64(info) && known.serverName != nullptr)
            return known.serverName;
        return WithArchitecture(std::wstring(L"Windows 10 version ") + known.version, info.wow64);
    }
    return ServerX64(info) ? L"Windows Server x64" : WithArchitecture(L"Windows 10", info.wow64);
}

std::wstring Windows6DetailedName(const OsVersionInfo& info)
{
    if (info.minor == 1) {
        if (ServerX64(info))
            return L"Windows Server 2008 R2" + ServicePackPart(info.servicePack, 1, 1, true) + L" x64";
        return WithArchitecture(L"Windows 7" + ServicePackPart(info.servicePack, 1, 1, true), info.wow64);
    }
    // 6.0
    if (!info.server)
        return WithArchitecture(L"Windows Vista" + ServicePackPart(info.servicePack, 1, 2, true), info.wow64);
    // Windows Server 2008 shipped with Vista's first service pack level: SP1 counts as RTM.
    const std::wstring part = info.servicePack <= 1 ? L" RTM" : ServicePackPart(info.servicePack, 2, 2, false);
    return WithArchitecture(L"Windows Server 2008" + part, info.wow64);
}

std::wstring Windows5DetailedName(const OsVersionInfo& info)
{
    if (info.minor == 1)
        return L"Windows XP" + ServicePackPart(info.servicePack, 1, 3, false) + L" x86";
    // 5.2: only the 64-bit XP shares this version with the server.
    if (!info.server)
        return L"Windows XP" + ServicePackPart(info.servicePack, 1, 2, false) + L" x64";
    return WithArchitecture(L"Windows Server 2003" + ServicePackPart(info.servicePack, 1, 2, false), info.wow64);
}

bool ListExcludes(const std::wstring& list, const wchar_t* wholePlatform, const std::wstring& detailedName,
                  const std::wstring& coarseName)
{
    if (list == wholePlatform)
        return true;
    for (const std::wstring& piece : SplitOsList(list)) {
        if (piece == detailedName || piece == coarseName)
            return true;
    }
    return false;
}

// Leading blanks, an optional sign and the digits up to the first non-digit, wrapping like
// unsigned arithmetic so that no text can overflow.
uint32_t LeadingNumber(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }
    const uint32_t value = ReadDecimalDigits(text, at);
    return negative ? 0u - value : value;
}

std::wstring LanguageName(LANGID languageId)
{
    const LCID locale = MAKELCID(languageId, SORT_DEFAULT);
    const int size = ::GetLocaleInfoW(locale, LOCALE_SLANGUAGE, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring name(static_cast<size_t>(size), L'\0');
    const int written = ::GetLocaleInfoW(locale, LOCALE_SLANGUAGE, &name[0], size);
    name.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
    return name;
}

} // namespace

std::wstring CoarseOsName(const OsVersionInfo& info)
{
    const bool serverX64 = ServerX64(info);
    if (Is(info, 11, 0))
        return serverX64 ? L"Windows Server x64" : L"Windows 11 x64";
    if (Is(info, 10, 0))
        return serverX64 ? L"Windows Server x64" : WithArchitecture(L"Windows 10", info.wow64);
    if (Is(info, 6, 3))
        return serverX64 ? L"Windows Server 2012 R2 x64" : WithArchitecture(L"Windows 8.1", info.wow64);
    if (Is(info, 6, 2))
        return serverX64 ? L"Windows Server 2012 x64" : WithArchitecture(L"Windows 8", info.wow64);
    if (Is(info, 6, 1))
        return serverX64 ? L"Windows Server 2008 R2 x64" : WithArchitecture(L"Windows 7", info.wow64);
    if (Is(info, 6, 0))
        return WithArchitecture(info.server ? L"Windows Server 2008" : L"Windows Vista", info.wow64);
    if (Is(info, 5, 2))
        return info.server ? WithArchitecture(L"Windows Server 2003", info.wow64) : L"Windows XP x64";
    if (Is(info, 5, 1))
        return L"Windows XP x86";
    return kNotIdentified;
}

std::wstring DetailedOsName(const OsVersionInfo& info)
{
    if (Is(info, 11, 0))
        return Windows11DetailedName(info);
    if (Is(info, 10, 0))
        return Windows10DetailedName(info);
    if (Is(info, 6, 3) || Is(info, 6, 2))
        return CoarseOsName(info);
    if (Is(info, 6, 1) || Is(info, 6, 0))
        return Windows6DetailedName(info);
    if (Is(info, 5, 2) || Is(info, 5, 1))
        return Windows5DetailedName(info);
    return kNotIdentified;
}

const std::wstring& GetCoarseOsName()
{
    static const std::wstring name = CoarseOsName(GetOsVersionInfo());
    return name;
}

const std::wstring& GetDetailedOsName()
{
    static const std::wstring name = DetailedOsName(GetOsVersionInfo());
    return name;
}

std::vector<std::wstring> SplitOsList(const std::wstring& text)
{
    static const wchar_t kSeparator[] = L", ";
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (start < text.size()) {
        const size_t separator = text.find(kSeparator, start);
        if (separator == std::wstring::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, separator - start));
        start = separator + 2;
    }
    return pieces;
}

bool OsMatches(const std::wstring& winNTVersions, const std::wstring& winNT64Versions, const OsVersionInfo& info)
{
    const std::wstring& list = info.wow64 ? winNT64Versions : winNTVersions;
    const wchar_t* wholePlatform = info.wow64 ? kWholePlatformX64 : kWholePlatformX86;
    return !ListExcludes(list, wholePlatform, DetailedOsName(info), CoarseOsName(info));
}

bool OsMatches(const std::wstring& winNTVersions, const std::wstring& winNT64Versions)
{
    const bool wow64 = GetOsVersionInfo().wow64;
    const std::wstring& list = wow64 ? winNT64Versions : winNTVersions;
    return !ListExcludes(list, wow64 ? kWholePlatformX64 : kWholePlatformX86, GetDetailedOsName(),
                         GetCoarseOsName());
}

bool LanguageListAccepts(const std::wstring& languageList, uint16_t languageId)
{
    if (languageList.empty())
        return true;
    size_t start = 0;
    for (size_t end = languageList.find(L';'); end != std::wstring::npos; end = languageList.find(L';', start)) {
        if (static_cast<uint16_t>(LeadingNumber(languageList.substr(start, end - start))) == languageId)
            return true;
        start = end + 1;
    }
    return false;
}

bool LanguageMatches(const std::wstring& languageList)
{
    if (languageList.empty())
        return true;
    const LANGID languageId = ::GetSystemDefaultLangID();
    if (LogEnabled)
        Logger::Instance().Log(Format(L"SystemDefault LangID=%d-%ls", static_cast<int>(languageId),
                                      LanguageName(languageId).c_str()));
    return LanguageListAccepts(languageList, languageId);
}

} // namespace orvanta
