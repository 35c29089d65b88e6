#include "download/UrlParts.h"

#include "download/WinInetApi.h"

#include <vector>

namespace orvanta {
namespace {

std::wstring Component(const std::vector<wchar_t>& buffer, DWORD length)
{
    return std::wstring(buffer.data(), length);
}

// "\\server\share\x" gives "server".
std::wstring ServerOfUncPath(const std::wstring& path)
{
    const std::wstring rest = path.substr(2);
    return rest.substr(0, rest.find(L'\\'));
}

} // namespace

DWORD CrackUrl(const std::wstring& url, UrlParts& parts)
{
    const DWORD capacity = static_cast<DWORD>(url.size()) + 1;
    std::vector<wchar_t> host(capacity), user(capacity), password(capacity), path(capacity), extra(capacity);
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = host.data();
    components.dwHostNameLength = capacity;
    components.lpszUserName = user.data();
    components.dwUserNameLength = capacity;
    components.lpszPassword = password.data();
    components.dwPasswordLength = capacity;
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = capacity;
    components.lpszExtraInfo = extra.data();
    components.dwExtraInfoLength = capacity;
    if (!wininet::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    }
    parts.scheme = components.nScheme;
    parts.host = Component(host, components.dwHostNameLength);
    parts.port = components.nPort;
    parts.user = Component(user, components.dwUserNameLength);
    parts.password = Component(password, components.dwPasswordLength);
    parts.path = Component(path, components.dwUrlPathLength);
    parts.extra = Component(extra, components.dwExtraInfoLength);
    if (parts.scheme == INTERNET_SCHEME_FILE && parts.path.size() > 3 && parts.path[0] == L'\\' &&
        parts.path[1] == L'\\' && parts.path[2] != L'?')
        parts.host = ServerOfUncPath(parts.path);
    return 0;
}

bool IsAbsoluteTargetPath(const std::wstring& path)
{
    if (path.size() < 2)
        return false;
    return (path[0] == L'\\' && path[1] == L'\\') || path[1] == L':';
}

std::wstring ShareRootOf(const std::wstring& path)
{
    if (path.size() < 3 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?')
        return {};
    const size_t serverEnd = path.find(L'\\', 2);
    if (serverEnd == std::wstring::npos || serverEnd == 2)
        return {};
    const size_t shareEnd = path.find(L'\\', serverEnd + 1);
    const std::wstring root = path.substr(0, shareEnd);
    return root.size() > serverEnd + 1 ? root : std::wstring();
}

std::wstring UrlWithoutCredentials(const std::wstring& url)
{
    const size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos)
        return url;
    const size_t authorityStart = schemeEnd + 3;
    const size_t authorityEnd = url.find_first_of(L"/?#", authorityStart);
    const size_t authorityLength =
        authorityEnd == std::wstring::npos ? std::wstring::npos : authorityEnd - authorityStart;
    const std::wstring authority = url.substr(authorityStart, authorityLength);
    const size_t at = authority.rfind(L'@');
    if (at == std::wstring::npos)
        return url;
    return url.substr(0, authorityStart) + url.substr(authorityStart + at + 1);
}

} // namespace orvanta
