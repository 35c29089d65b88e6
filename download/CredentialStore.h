// The process-wide store of the user name and password entered for a server, proxy or share.
// Entered credentials are kept in memory for the rest of the run (never on disk) and offered
// once per open: to every later challenge when the person asked to remember them, otherwise only
// to the server or proxy they were given for.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

// What a person is asked about: the host of the URL, the proxy that challenged (empty for a
// server) and the realm of the challenge.
struct CredentialQuestion {
    std::wstring host;
    std::wstring proxyServer;
    std::wstring realm;
};

// Shows the question modally over `parent`; true with the user name and password when the
// person confirmed, and whether they may be offered to other servers and proxies too. The user
// interface provides it.
using CredentialPrompt = bool (*)(HWND parent, const CredentialQuestion& question, std::wstring& user,
                                  std::wstring& password, bool& remember);

class CredentialStore {
public:
    CredentialStore() = default;
    virtual ~CredentialStore();
    CredentialStore(const CredentialStore&) = delete;
    CredentialStore& operator=(const CredentialStore&) = delete;

    // A new open starts: the remembered credentials may be offered once again.
    virtual void ResetAttempt();
    // True and both copied when they may be offered now, to the challenge last recorded (by
    // SetUrl and SetProxyServer), and a user name is known.
    virtual bool GetRemembered(std::wstring& user, std::wstring& password);
    // True and both copied when a user name is known.
    virtual bool GetEntered(std::wstring& user, std::wstring& password);
    // The remembered credentials were used in this attempt.
    virtual void MarkUsed();
    // The challenge that the next question is about.
    virtual void SetRealm(const std::wstring& realm);
    virtual void SetProxyServer(const std::wstring& proxyServer);
    virtual void SetUrl(const std::wstring& url);
    // Asks the user for credentials through the prompt, over `parent` (null: the active window,
    // else the foreground window); true when some were entered. Without a prompt, or with no
    // dialog set, nobody is asked.
    virtual bool AskUser(HWND parent);

    void SetNoDialog(bool noDialog) { noDialog_ = noDialog; }
    void SetPrompt(CredentialPrompt prompt) { prompt_ = prompt; }
    const std::wstring& Realm() const { return realm_; }
    const std::wstring& Url() const { return url_; }
    const std::wstring& ProxyServer() const { return proxyServer_; }

protected:
    // What a confirmed prompt does: the credentials are kept for the rest of the run, for every
    // challenge when `remember`, else for the one recorded now (its proxy, or its server's host
    // and port).
    void StoreEntered(const std::wstring& user, const std::wstring& password, bool remember = true);

private:
    // "proxy <name>" or "server <host>:<port>" of the recorded challenge.
    std::wstring Challenger() const;

    bool noDialog_ = false;
    CredentialPrompt prompt_ = nullptr;
    std::wstring user_;
    std::wstring password_;
    std::wstring onlyFor_;  // the challenger the credentials were given for; empty: any
    bool offerRemembered_ = true;
    std::wstring realm_;
    std::wstring url_;
    std::wstring proxyServer_;
};

} // namespace orvanta
