// What the source of every scheme works with while it opens a download.
#pragma once

namespace orvanta {

class CredentialStore;
class DownloadQuestions;
class InternetSession;

// Nothing is owned; the store and the questions may be null (no login remembered, nobody to ask).
struct SourceContext {
    InternetSession& session;
    CredentialStore* credentials;
    DownloadQuestions* questions;
};

} // namespace orvanta
