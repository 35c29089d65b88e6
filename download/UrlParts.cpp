#include "download/UrlParts.h"

#include "download/WinInetApi.h"
#include "platform/Text.h"

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

std::wstring UrlTooLongText(const std::wstring& url)
{
    constexpr size_t kShownCharacters = 80;
    return Format(L"URL too long: %u characters, WinINet takes at most %u:", static_cast<unsigned>(url.size()),
                  static_cast<unsigned>(kMaxUrlLength)) +
           UrlWithoutCredentials(url).substr(0, kShownCharacters) + L"...";
}

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

} // namespace orvanta
