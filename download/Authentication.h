// Answering a login challenge of an HTTP server, a proxy, an FTP server or a network share
// with the credentials of the URL, the store or the user.
#pragma once

#include "download/ChallengeText.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace orvanta {

class CredentialStore;
class DownloadQuestions;

// Finds credentials for a challenge: the remembered ones once per open, else those the person
// enters when asked through `questions`. With a request handle they are set on it (proxy or
// server credentials). True: send or connect again with `user` and `password`. False without a
// store, or when nobody is asked or the person enters none.
bool Authenticate(CredentialStore* store, DownloadQuestions* questions, HINTERNET request, const std::wstring& url,
                  const std::wstring& realm, bool isProxy, const std::wstring& proxyServer, std::wstring& user,
                  std::wstring& password);

// The realm of the request's 401 (server) or 407 (proxy) challenge.
std::wstring GetChallengeRealm(HINTERNET request, uint32_t status);

// The host name of the proxy configured for the request's connection; empty when unknown.
std::wstring GetProxyServerName(HINTERNET request);

} // namespace orvanta
