// The ".part" file a download writes into, with the digests of its bytes computed as they are
// written; once complete it is put in place of the target.
#pragma once

#include "download/StreamHasher.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvanta {

class PartFile {
public:
    // Throws std::bad_alloc when a wanted digest gets no thread.
    PartFile(std::wstring path, bool wantMd5, bool wantSha256, bool wantPeImage);
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Opens the file to continue after its first `keep` bytes (anything past them would be
    // stale and is cut off), or anew when `keep` is 0; 0 or the system error.
    DWORD Open(uint64_t keep);
    // Feeds the kept bytes to the digests before the new ones; 0, the system error, or
    // `canceledResult` as soon as `canceled` says so.
    uint32_t HashKeptBytes(uint64_t keep, const std::function<bool()>& canceled, uint32_t canceledResult);
    // Writes the first `bytes` of `buffer`, which the digests take over in exchange for a buffer
    // of the same size; 0 or the system error.
    DWORD Write(std::vector<char>& buffer, DWORD bytes);
    // What the file holds now.
    uint64_t Size() const;
    void Flush() { ::FlushFileBuffers(file_.Get()); }
    // Closes and deletes it: what arrived is not the file.
    void Discard();
    // Closes it and gives the digests of every byte it holds.
    ContentDigests Close();

private:
    std::wstring path_;
    UniqueFile file_;
    StreamHasher hasher_;
};

// Puts a complete ".part" file in place of `target`, replacing it; 0 or the system error.
DWORD MovePartFileOntoTarget(const std::wstring& partialPath, const std::wstring& target);

} // namespace orvanta
