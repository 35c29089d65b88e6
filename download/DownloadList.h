// What the downloads of one run leave behind: the files and folders registered for deletion
// when the install stages are discarded, and the credentials every download uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

class CredentialStore;

// The credential store shared by every download of the process: created on first use and kept
// until the process ends, so that a login entered once serves the later downloads.
CredentialStore& ProcessCredentialStore();

class DownloadList {
public:
    // The store is not owned and may be null; it is handed to every download.
    explicit DownloadList(CredentialStore* credentials = nullptr) : credentials_(credentials) {}
    // Deletes what was registered.
    ~DownloadList();
    DownloadList(const DownloadList&) = delete;
    DownloadList& operator=(const DownloadList&) = delete;

    CredentialStore* Credentials() const { return credentials_; }

    void RegisterFileForDeletion(const std::wstring& path);
    void RegisterFolderForDeletion(const std::wstring& path);
    const std::vector<std::wstring>& FilesToDelete() const { return files_; }
    const std::vector<std::wstring>& FoldersToDelete() const { return folders_; }

    // Deletes the registered files in registration order, then removes the registered folders
    // that are empty, newest first, and forgets them all. Failures are not looked at.
    void DeleteRegistered();

private:
    CredentialStore* credentials_;
    std::vector<std::wstring> files_;
    std::vector<std::wstring> folders_;
};

} // namespace orvanta
