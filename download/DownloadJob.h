// A download as the run hands it to the download stage, and what came of it.
#pragma once

#include "download/DownloadVerification.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

struct DownloadJob {
    std::wstring name;         // the prerequisite's, for the log and the status line
    std::wstring url;
    std::vector<std::wstring> mirrors;  // more URLs of the same file, tried after `url` in order
    std::wstring folder;       // a subfolder and/or file name below the download folder
    ExpectedContent expected;  // what the file must pass before it may be started
    bool mandatory = false;    // a failure ends the stage
};

struct DownloadResult {
    // 0: downloaded and accepted; DLERR_REJECTED: it failed a check and was deleted; else why
    // the transfer failed (a Windows, WinINet or engine code). kNotDownloaded: never tried.
    static constexpr uint32_t kNotDownloaded = 0xFFFFFFFFu;
    uint32_t code = kNotDownloaded;
    std::wstring path;  // the accepted file
    // The URL that served the last file (never with credentials) and its place: 0 the job's url,
    // 1 its first mirror, ...; -1 when no source answered.
    std::wstring servedUrl;
    int mirror = -1;
    uint64_t bytesReceived = 0;  // over every mirror tried
    CheckReport checks;  // of the last file received
    std::wstring failureLine;  // the log line that said why the download failed; empty: it did not

    bool Accepted() const { return code == 0; }
};

} // namespace orvanta
