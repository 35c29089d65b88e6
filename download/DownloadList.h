// The downloads of one run: the items the download stage fetches, and the files and folders
// registered for deletion when the install stages are discarded.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

class CredentialStore;
class DownloadQuestions;
class ProgressSink;

// The credential store shared by every download of the process: created on first use and kept
// until the process ends, so that a login entered once serves the later downloads.
CredentialStore& ProcessCredentialStore();

// True when the keep-files setting keeps downloaded files after the run ("complete" and
// "prereqs"); otherwise each accepted download is deleted at the end.
bool KeepsDownloads(KeepFilesMode mode);

struct DownloadItem {
    static const uint32_t kStatusAdded = 4;

    std::wstring url;
    uint64_t expectedSize = 0;   // 0: not checked
    std::wstring fixedFile;      // when set, the target is the download folder followed by it
    std::wstring targetPath;     // set when the item is downloaded
    uint32_t status = kStatusAdded;  // 0 after a successful download
    int32_t prereqIndex = -1;
    std::wstring folder;         // the prerequisite's Folder
};

class DownloadList {
public:
    // The store is not owned and may be null; it is handed to every download.
    explicit DownloadList(CredentialStore* credentials = nullptr) : credentials_(credentials) {}
    // Deletes what was registered.
    ~DownloadList();
    DownloadList(const DownloadList&) = delete;
    DownloadList& operator=(const DownloadList&) = delete;

    std::wstring downloadFolder;  // with a trailing backslash
    std::vector<DownloadItem> items;
    uint32_t lastResult = 0;
    ProgressSink* sink = nullptr;
    DownloadQuestions* questions = nullptr;

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
