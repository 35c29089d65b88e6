// URL cracking and the checks on URLs and target paths that the download engine makes before
// it opens anything.
#pragma once

#include "download/UrlText.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace orvanta {

struct UrlParts {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring user;
    std::wstring password;
    std::wstring path;
    std::wstring extra;  // query, with its '?'
};

// The longest URL WinINet takes: INTERNET_MAX_URL_LENGTH less its terminating null, the scheme
// included.
constexpr size_t kMaxUrlLength = INTERNET_MAX_URL_LENGTH - 1;

// The log line for a URL longer than kMaxUrlLength: its length and its beginning, without
// credentials.
std::wstring UrlTooLongText(const std::wstring& url);

// 0, or the error of InternetCrackUrlW. For a file: URL naming a UNC path the host is the
// path's server name.
DWORD CrackUrl(const std::wstring& url, UrlParts& parts);

} // namespace orvanta
