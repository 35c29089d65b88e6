#include "download/Authentication.h"

#include "download/CredentialStore.h"
#include "download/InternetDownloader.h"
#include "download/UrlParts.h"
#include "platform/ProgressSink.h"
#include "platform/Strings.h"

#include <cstdint>
#include <vector>

namespace orvanta {
namespace {

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

// Splits at ',' outside double quotes, so a quoted realm may contain commas.
std::vector<std::wstring> SplitParameters(const std::wstring& text)
{
    std::vector<std::wstring> pieces(1);
    bool quoted = false;
    for (wchar_t c : text) {
        if (c == L'"')
            quoted = !quoted;
        if (c == L',' && !quoted)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::wstring StripQuotes(const std::wstring& value)
{
    const std::wstring trimmed = Trim(value, IsSpaceOrTab);
    if (trimmed.size() >= 2 && trimmed.front() == L'"' && trimmed.back() == L'"')
        return trimmed.substr(1, trimmed.size() - 2);
    return trimmed;
}

bool SetCredentialsOnRequest(HINTERNET request, bool isProxy, const std::wstring& user, const std::wstring& password)
{
    const DWORD userOption = isProxy ? INTERNET_OPTION_PROXY_USERNAME : INTERNET_OPTION_USERNAME;
    const DWORD passwordOption = isProxy ? INTERNET_OPTION_PROXY_PASSWORD : INTERNET_OPTION_PASSWORD;
    const BOOL userSet = ::InternetSetOptionW(request, userOption, const_cast<wchar_t*>(user.c_str()),
                                              static_cast<DWORD>(user.size()));
    const BOOL passwordSet = ::InternetSetOptionW(request, passwordOption, const_cast<wchar_t*>(password.c_str()),
                                                  static_cast<DWORD>(password.size()));
    return userSet && passwordSet;
}

std::wstring QueryHeader(HINTERNET request, DWORD query)
{
    std::vector<wchar_t> buffer(260);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        DWORD index = 0;
        if (::HttpQueryInfoW(request, query, buffer.data(), &size, &index))
            return std::wstring(buffer.data(), size / sizeof(wchar_t));
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return {};
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    }
    return {};
}

} // namespace

bool Authenticate(CredentialStore* store, ProgressSink* sink, HINTERNET request, const std::wstring& url,
                  const std::wstring& realm, bool isProxy, const std::wstring& proxyServer, std::wstring& user,
                  std::wstring& password)
{
    if (store == nullptr)
        return false;
    std::wstring enteredUser;
    std::wstring enteredPassword;
    if (!store->GetRemembered(enteredUser, enteredPassword)) {
        // The question may be shown to a person: never with a password from the URL.
        const std::wstring shownUrl = UrlWithoutCredentials(url);
        store->SetUrl(shownUrl);
        store->SetRealm(realm);
        store->SetProxyServer(proxyServer);
        if (sink == nullptr)
            return false;
        // The context is 32-bit: the store's address fits in the 32-bit product.
        const auto context = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(store));
        if (sink->ReportError(shownUrl.c_str(), DLERR_AUTH_REQUIRED, context) != kAnswerRetry)
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

std::wstring ParseChallengeRealm(const std::wstring& challenge)
{
    const std::wstring trimmed = Trim(challenge, IsSpaceOrTab);
    const size_t space = trimmed.find(L' ');
    if (space == std::wstring::npos)
        return {};
    for (const std::wstring& parameter : SplitParameters(trimmed.substr(space + 1))) {
        const size_t equals = parameter.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        if (EqualsIgnoringCase(Trim(parameter.substr(0, equals), IsSpaceOrTab), L"realm"))
            return StripQuotes(parameter.substr(equals + 1));
    }
    return {};
}

std::wstring GetChallengeRealm(HINTERNET request, uint32_t status)
{
    const DWORD query = status == 407 ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
    return ParseChallengeRealm(QueryHeader(request, query));
}

std::wstring ProxyHostName(const std::wstring& proxyList)
{
    // Entries are separated by ';' or blanks; a per-scheme list names the HTTP proxy "http=".
    std::vector<std::wstring> entries;
    std::wstring current;
    for (wchar_t c : proxyList + L";") {
        if (c == L';' || c == L' ' || c == L'\t') {
            if (!current.empty())
                entries.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (entries.empty())
        return {};
    std::wstring chosen = entries.front();
    for (const std::wstring& entry : entries) {
        if (entry.find(L'=') == std::wstring::npos || _wcsnicmp(entry.c_str(), L"http=", 5) == 0) {
            chosen = entry;
            break;
        }
    }
    const size_t equals = chosen.find(L'=');
    if (equals != std::wstring::npos)
        chosen = chosen.substr(equals + 1);
    const size_t scheme = chosen.find(L"://");
    if (scheme != std::wstring::npos)
        chosen = chosen.substr(scheme + 3);
    if (!chosen.empty() && chosen[0] == L'[') {
        const size_t close = chosen.find(L']');
        return close == std::wstring::npos ? chosen : chosen.substr(0, close + 1);
    }
    return chosen.substr(0, chosen.find_first_of(L":/"));
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
    if (!::InternetQueryOptionW(request, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
        return {};
    std::wstring text;
    if (option.Value.pszValue != nullptr) {
        text = option.Value.pszValue;
        ::GlobalFree(option.Value.pszValue);
    }
    return ProxyHostName(text);
}

} // namespace orvanta
