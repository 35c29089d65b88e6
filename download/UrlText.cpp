#include "download/UrlText.h"

namespace orvanta {

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
