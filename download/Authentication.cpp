#include "download/Authentication.h"

#include "download/CredentialStore.h"
#include "download/DownloadQuestions.h"
#include "download/UrlParts.h"
#include "download/WinInetApi.h"

#include <cstdint>
#include <vector>

namespace orvanta {
namespace {

bool SetCredentialsOnRequest(HINTERNET request, bool isProxy, const std::wstring& user, const std::wstring& password)
{
    const DWORD userOption = isProxy ? INTERNET_OPTION_PROXY_USERNAME : INTERNET_OPTION_USERNAME;
    const DWORD passwordOption = isProxy ? INTERNET_OPTION_PROXY_PASSWORD : INTERNET_OPTION_PASSWORD;
    const BOOL userSet = wininet::InternetSetOptionW(request, userOption, const_cast<wchar_t*>(user.c_str()),
                                                     static_cast<DWORD>(user.size()));
    const BOOL passwordSet = wininet::InternetSetOptionW(
        request, passwordOption, const_cast<wchar_t*>(password.c_str()), static_cast<DWORD>(password.size()));
    return userSet && passwordSet;
}

std::wstring QueryHeader(HINTERNET request, DWORD query)
{
    std::vector<wchar_t> buffer(260);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        DWORD index = 0;
        if (wininet::HttpQueryInfoW(request, query, buffer.data(), &size, &index))
            return std::wstring(buffer.data(), size / sizeof(wchar_t));
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return {};
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    }
    return {};
}

} // namespace

bool Authenticate(CredentialStore* store, DownloadQuestions* questions, HINTERNET request, const std::wstring& url,
                  const std::wstring& realm, bool isProxy, const std::wstring& proxyServer, std::wstring& user,
                  std::wstring& password)
{
    if (store == nullptr)
        return false;
    // The question may be shown to a person: never with a password from the URL. The challenge
    // is recorded first: credentials given for one server or proxy only are offered to that one.
    const std::wstring shownUrl = UrlWithoutCredentials(url);
    store->SetUrl(shownUrl);
    store->SetRealm(realm);
    store->SetProxyServer(proxyServer);
    std::wstring enteredUser;
    std::wstring enteredPassword;
    if (!store->GetRemembered(enteredUser, enteredPassword)) {
        if (questions == nullptr || !questions->AskForLogin(*store))
            return false;
        if (!store->GetEntered(enteredUser, enteredPassword))
            return false;
    }
    if (request != nullptr)
        SetCredentialsOnRequest(request, isProxy, enteredUser, enteredPassword);
    store->MarkUsed();
    user = enteredUser;
    password = enteredPassword;
    return true;
}

std::wstring GetChallengeRealm(HINTERNET request, uint32_t status)
{
    const DWORD query = status == 407 ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
    return ParseChallengeRealm(QueryHeader(request, query));
}

std::wstring GetProxyServerName(HINTERNET request)
{
    INTERNET_PER_CONN_OPTIONW option{};
    option.dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    INTERNET_PER_CONN_OPTION_LISTW list{};
    list.dwSize = sizeof(list);
    list.pszConnection = nullptr;
    list.dwOptionCount = 1;
    list.pOptions = &option;
    DWORD size = sizeof(list);
    if (!wininet::InternetQueryOptionW(request, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
        return {};
    std::wstring text;
    if (option.Value.pszValue != nullptr) {
        text = option.Value.pszValue;
        ::GlobalFree(option.Value.pszValue);
    }
    return ProxyHostName(text);
}

} // namespace orvanta
