// The HTTP server that CTest starts for the download tests (server/http-server.sh): it serves
// a folder on 127.0.0.1 and logs each request line. Its state folder is given by the
// environment variable ORVANTA_DOWNLOADS_SERVER.
#pragma once

#include "TestSupport.h"

#include <string>

// "http://127.0.0.1:PORT/", or empty when the server is not running.
inline std::wstring HttpServerBaseUrl()
{
    const std::wstring state = testing_support::EnvironmentValue(L"ORVANTA_DOWNLOADS_SERVER");
    if (state.empty())
        return {};
    const std::string port = testing_support::ReadBytes(state + L"\\port");
    if (port.empty())
        return {};
    return L"http://127.0.0.1:" + std::wstring(port.begin(), port.end()) + L"/";
}

// Request lines ("GET /path") received so far.
inline std::string HttpRequestLog()
{
    return testing_support::ReadBytes(testing_support::EnvironmentValue(L"ORVANTA_DOWNLOADS_SERVER") +
                                      L"\\requests.log");
}

// Puts `bytes` into the served folder ("www") under `name` (no subfolders); false on failure.
inline bool ServeFile(const std::wstring& name, const std::string& bytes)
{
    return testing_support::WriteBytes(
        testing_support::EnvironmentValue(L"ORVANTA_DOWNLOADS_SERVER") + L"\\www\\" + name, bytes);
}
