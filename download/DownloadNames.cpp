#include "download/DownloadNames.h"

#include "download/UrlText.h"
#include "platform/Strings.h"

namespace orvanta {
namespace {

bool IsForbiddenNameCharacter(wchar_t c)
{
    return c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
           c == L'|';
}

} // namespace

std::wstring FileNameFromUrl(const std::wstring& fullUrl)
{
    // The password must not become the name ("user:pw@host" in front of the path).
    const std::wstring url = UrlWithoutCredentials(fullUrl);
    if (url.empty())
        return {};
    const size_t lastPosition = url.size() - 1;
    size_t end = lastPosition;
    const size_t first = url.find(L"://");
    if (first != std::wstring::npos) {
        const size_t second = url.find(L"://", first + 4);
        if (second != std::wstring::npos)
            end = second;
    }

    size_t last = end;
    const size_t dot = url.rfind(L'.', end);
    if (dot != std::wstring::npos) {
        for (size_t i = dot + 1; i <= end && i < url.size(); ++i) {
            if (IsForbiddenNameCharacter(url[i])) {
                last = i - 1;
                break;
            }
        }
    }

    // At most 40 positions back from the last character.
    size_t start = last >= 40 ? last - 40 : 0;
    for (size_t back = 1; back <= 40 && back <= last; ++back) {
        if (IsForbiddenNameCharacter(url[last - back])) {
            start = last - back + 1;
            break;
        }
    }
    if (start > last || IsForbiddenNameCharacter(url[last]))
        return {};
    std::wstring name = url.substr(start, last - start + 1);
    // Windows drops trailing dots and spaces from a name, so "." or ".." would name the
    // download folder or its parent: no usable name.
    if (name.find_last_not_of(L". ") == std::wstring::npos)
        return {};
    return name;
}

std::wstring TargetPathFor(const std::wstring& downloadFolder, const std::wstring& url, const std::wstring& folder)
{
    std::wstring path = WithTrailingBackslash(downloadFolder);
    std::wstring subfolder = folder;
    std::wstring fileName;
    const size_t question = folder.find(L'?');
    if (question != std::wstring::npos) {
        subfolder = folder.substr(0, question);
        fileName = folder.substr(question + 1);
    }
    path = WithTrailingBackslash(path + subfolder);
    return path + (fileName.empty() ? FileNameFromUrl(url) : fileName);
}

std::wstring LocalPathOfFileUrl(const std::wstring& fileUrl)
{
    const std::wstring url = UrlWithoutCredentials(fileUrl);
    std::wstring rest;
    if (StartsWithIgnoringAsciiCase(url, L"file:///")) {
        rest = url.substr(8);
    } else if (StartsWithIgnoringAsciiCase(url, L"file://")) {
        rest = url.substr(7);
        // file://server/share/x is \\server\share\x; file://C:/x is a drive path all the same.
        if (!(rest.size() >= 2 && rest[1] == L':'))
            rest = L"//" + rest;
    } else {
        return {};
    }
    for (wchar_t& c : rest) {
        if (c == L'/')
            c = L'\\';
    }
    return rest;
}

} // namespace orvanta
