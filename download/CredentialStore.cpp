#include "download/CredentialStore.h"

#include "download/UrlParts.h"
#include "platform/Strings.h"
#include "platform/Text.h"

namespace orvanta {

CredentialStore::~CredentialStore()
{
    WipeSecret(password_);
}

void CredentialStore::ResetAttempt()
{
    offerRemembered_ = true;
}

bool CredentialStore::GetRemembered(std::wstring& user, std::wstring& password)
{
    if (!offerRemembered_ || (!onlyFor_.empty() && onlyFor_ != Challenger()))
        return false;
    return GetEntered(user, password);
}

bool CredentialStore::GetEntered(std::wstring& user, std::wstring& password)
{
    if (user_.empty())
        return false;
    user = user_;
    password = password_;
    return true;
}

void CredentialStore::MarkUsed()
{
    offerRemembered_ = false;
}

void CredentialStore::SetRealm(const std::wstring& realm)
{
    realm_ = realm;
}

void CredentialStore::SetProxyServer(const std::wstring& proxyServer)
{
    proxyServer_ = proxyServer;
}

void CredentialStore::SetUrl(const std::wstring& url)
{
    url_ = url;
}

bool CredentialStore::AskUser(HWND parent)
{
    if (noDialog_ || prompt_ == nullptr)
        return false;
    if (parent == nullptr)
        parent = ::GetActiveWindow();
    if (parent == nullptr)
        parent = ::GetForegroundWindow();
    CredentialQuestion question;
    UrlParts parts;
    if (CrackUrl(url_, parts) == 0)
        question.host = parts.host;
    question.proxyServer = proxyServer_;
    question.realm = realm_;
    std::wstring user;
    std::wstring password;
    bool remember = false;
    const bool confirmed = prompt_(parent, question, user, password, remember);
    if (confirmed)
        StoreEntered(user, password, remember);
    WipeSecret(password);
    return confirmed;
}

std::wstring CredentialStore::Challenger() const
{
    if (!proxyServer_.empty())
        return L"proxy " + proxyServer_;
    UrlParts parts;
    if (CrackUrl(url_, parts) != 0)
        return L"server " + url_;
    return L"server " + parts.host + L":" + DecimalText(parts.port);
}

void CredentialStore::StoreEntered(const std::wstring& user, const std::wstring& password, bool remember)
{
    onlyFor_ = remember ? std::wstring() : Challenger();
    user_ = user;
    WipeSecret(password_);
    password_ = password;
}

} // namespace orvanta
