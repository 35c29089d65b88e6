// What the download engine may ask a person while it works: a login for a server, a proxy, an
// FTP server or a share, and whether to go on past a certificate error. A user interface answers
// them; a silent run has none to ask, and every question is then refused.
#pragma once

#include <cstdint>

namespace orvanta {

class CredentialStore;

class DownloadQuestions {
public:
    virtual ~DownloadQuestions() = default;
    // The challenge is recorded in `store` (its URL without a login, realm and proxy); the
    // credentials it remembered were not offered or not accepted. True when the person entered
    // new ones into the store (through its AskUser).
    virtual bool AskForLogin(CredentialStore& store) = 0;
    // The server's certificate failed with `error` (a WinINet code). True to send the request
    // again with that kind of error ignored.
    virtual bool AcceptCertificateError(uint32_t error) = 0;
};

} // namespace orvanta
