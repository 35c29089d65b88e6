// file: URLs: network shares (with a login when the URL or the person gives one) and local
// folders, copied with CopyFileExW into the ".part" file.
#pragma once

#include "download/SourceContext.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace orvanta {

class ProgressSink;

class ShareSource {
public:
    explicit ShareSource(const SourceContext& context) : context_(context) {}

    // Logs on to the share of `path` when there is a login, and finds the file; 0 with its
    // length, or the error. Share copies never resume.
    uint32_t Open(const std::wstring& url, const std::wstring& path, const std::wstring& user,
                  const std::wstring& password, uint64_t& contentLength);
    // Copies `source` into `partialPath`, reporting the transfer of `target` and its bytes to
    // `sink` (which may be null, and whose cancel stops the copy); 0 or the system error.
    static DWORD Copy(const std::wstring& source, const std::wstring& partialPath, const std::wstring& target,
                      ProgressSink* sink);

private:
    static uint32_t LookUpFile(const std::wstring& path, uint64_t& contentLength);

    SourceContext context_;
};

} // namespace orvanta
