#include "platform/OsVersion.h"

#include "platform/Strings.h"
#include "platform/UniqueResource.h"
#include "platform/SystemFunction.h"

#include <utility>

namespace orvanta {
namespace {

const REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;

UniqueKey OpenMachineKey(const wchar_t* path)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, kRead64, key.Put()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

bool ReadDword(HKEY key, const wchar_t* name, uint32_t& value)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    value = data;
    return true;
}

// A string value of at most `maxChars` characters (including its terminator).
bool ReadString(HKEY key, const wchar_t* name, size_t maxChars, std::wstring& value)
{
    std::wstring buffer(maxChars, L'\0');
    DWORD size = static_cast<DWORD>(maxChars * sizeof(wchar_t));
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return false;
    buffer.resize(size / sizeof(wchar_t));
    value = std::move(buffer);
    return true;
}

uint32_t LeadingDecimal(const std::wstring& text)
{
    size_t position = 0;
    return ReadDecimalDigits(text, position);
}

std::wstring UpToFirstZero(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

bool ProcessIsOn64BitWindows()
{
#if defined(_WIN64)
    return true;  // a 64-bit process runs on 64-bit Windows by definition
#else
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const IsWow64ProcessFn isWow64 = GetLoadedFunction<IsWow64ProcessFn>(L"kernel32", "IsWow64Process");
    BOOL result = FALSE;
    return isWow64 != nullptr && isWow64(::GetCurrentProcess(), &result) && result;
#endif
}

uint16_t SuiteBit(const std::wstring& name)
{
    static const std::pair<const wchar_t*, uint16_t> suites[] = {
        {L"Small Business", 0x0001},
        {L"Enterprise", 0x0002},
        {L"BackOffice", 0x0004},
        {L"CommunicationServer", 0x0008},
        {L"Terminal Server", 0x0010},
        {L"Small Business(Restricted)", 0x0020},
        {L"EmbeddedNT", 0x0040},
        {L"DataCenter", 0x0080},
        {L"Personal", 0x0200},
        {L"Blade", 0x0400},
        {L"Embedded(Restricted)", 0x0800},
        {L"Security Appliance", 0x1000},
        {L"Storage Server", 0x2000},
        {L"Compute Server", 0x4000},
    };
    for (const auto& suite : suites) {
        if (name == suite.first)
            return suite.second;
    }
    return 0;
}

void ReadProductOptions(OsVersionInfo& info)
{
    const UniqueKey key = OpenMachineKey(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions");
    if (!key)
        return;
    std::wstring text;
    if (ReadString(key.Get(), L"ProductType", 256, text)) {
        text = UpToFirstZero(text);
        info.productType = text == L"WinNT" ? 1 : text == L"ServerNT" ? 3 : 2;
        info.server = text != L"WinNT";
    }
    std::wstring suites;
    if (ReadString(key.Get(), L"ProductSuite", 2048 / sizeof(wchar_t), suites)) {
        size_t start = 0;
        while (start < suites.size()) {
            size_t end = suites.find(L'\0', start);
            if (end == std::wstring::npos)
                end = suites.size();
            if (end > start)
                info.suiteMask |= SuiteBit(suites.substr(start, end - start));
            start = end + 1;
        }
    }
}

} // namespace

OsVersionInfo ReadOsVersionInfo()
{
    OsVersionInfo info;
    const UniqueKey key = OpenMachineKey(L"Software\\Microsoft\\Windows NT\\CurrentVersion");
    if (!key)
        return info;

    ReadDword(key.Get(), L"CurrentMajorVersionNumber", info.major);
    ReadDword(key.Get(), L"CurrentMinorVersionNumber", info.minor);
    std::wstring text;
    if (info.major == 0 && ReadString(key.Get(), L"CurrentVersion", 16, text)) {
        text = UpToFirstZero(text);
        if (text.size() == 3) {
            info.major = static_cast<uint32_t>(text[0] - L'0');
            info.minor = static_cast<uint32_t>(text[2] - L'0');
        }
    }
    if (ReadString(key.Get(), L"CurrentBuildNumber", 64, text))
        info.build = LeadingDecimal(UpToFirstZero(text));
    if (info.major == 10 && info.build >= 22000)
        info.major = 11;
    if (ReadString(key.Get(), L"ReleaseId", 64, text))
        info.releaseId = LeadingDecimal(UpToFirstZero(text));
    if (ReadString(key.Get(), L"CSDVersion", 128, text)) {
        info.servicePackText = UpToFirstZero(text);
        if (!info.servicePackText.empty())
            info.servicePack = static_cast<uint32_t>(info.servicePackText.back() - L'0');
    }
    info.wow64 = ProcessIsOn64BitWindows();
    ReadProductOptions(info);
    return info;
}

const OsVersionInfo& GetOsVersionInfo()
{
    static const OsVersionInfo info = ReadOsVersionInfo();
    return info;
}

bool IsWindows10OrLater(const OsVersionInfo& info)
{
    if (info.major != 10)
        return info.major > 10;
    if (info.minor != 0)
        return info.minor > 0;
    return true;
}

bool IsWindows10OrLater()
{
    return IsWindows10OrLater(GetOsVersionInfo());
}

} // namespace orvanta
