// Answering a login challenge of an HTTP server, a proxy, an FTP server or a network share
// with the credentials of the URL, the store or the user.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace orvanta {

class CredentialStore;
class ProgressSink;

// The sink's answer that means "credentials were entered, try again".
constexpr uint32_t kAnswerRetry = ERROR_RETRY;

// Finds credentials for a challenge: the remembered ones once per open, else those the sink
// has the user enter (the sink is asked with ReportError(url, DLERR_AUTH_REQUIRED) and must
// answer 1237). With a request handle they are set on it (proxy or server credentials).
// True: send or connect again with `user` and `password`. False without a store or an answer.
bool Authenticate(CredentialStore* store, ProgressSink* sink, HINTERNET request, const std::wstring& url,
                  const std::wstring& realm, bool isProxy, const std::wstring& proxyServer, std::wstring& user,
                  std::wstring& password);

// The realm parameter of a WWW-Authenticate or Proxy-Authenticate value ("Basic realm="x""
// gives x); empty when it has none.
std::wstring ParseChallengeRealm(const std::wstring& challenge);
// The realm of the request's 401 (server) or 407 (proxy) challenge.
std::wstring GetChallengeRealm(HINTERNET request, uint32_t status);

// The host name of a proxy setting, without scheme and port ("http=proxy:80;https=..." and
// "proxy:8080" both give "proxy").
std::wstring ProxyHostName(const std::wstring& proxyList);
// The host name of the proxy configured for the request's connection; empty when unknown.
std::wstring GetProxyServerName(HINTERNET request);

} // namespace orvanta
