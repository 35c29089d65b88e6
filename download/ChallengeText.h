// The texts of login challenges and proxy settings; pure text, no system.
#pragma once

#include <string>

namespace orvanta {

// The realm parameter of a WWW-Authenticate or Proxy-Authenticate value ("Basic realm="x""
// gives x); empty when it has none.
std::wstring ParseChallengeRealm(const std::wstring& challenge);

// The host name of a proxy setting, without scheme and port ("http=proxy:80;https=..." and
// "proxy:8080" both give "proxy").
std::wstring ProxyHostName(const std::wstring& proxyList);

} // namespace orvanta
