#include "download/FileDigests.h"

#include "platform/Paths.h"
#include "platform/UniqueResource.h"

#include <cstring>
#include <vector>

namespace orvanta {
namespace {

const DWORD kBlockSize = 256 * 1024;

} // namespace

DWORD ComputeFileDigests(const std::wstring& path, bool md5, bool sha256, ContentDigests& digests, bool peImage)
{
    UniqueFile file(::CreateFileW(MakeLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return ::GetLastError();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size))
        return ::GetLastError();

    // The hashing runs on the hasher's threads while the next block is read.
    uint64_t remaining = static_cast<uint64_t>(size.QuadPart);
    std::vector<char> buffer(kBlockSize);
    StreamHasher hasher(md5, sha256, peImage);
    while (remaining > 0) {
        const DWORD wanted = remaining < kBlockSize ? static_cast<DWORD>(remaining) : kBlockSize;
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), wanted, &read, nullptr))
            return ::GetLastError();
        if (read == 0)
            return ERROR_HANDLE_EOF;  // it shrank
        hasher.Feed(buffer, read);  // swapped for a free buffer of the hasher, not copied
        remaining -= read;
    }
    digests = hasher.Finish();
    digests.size = static_cast<uint64_t>(size.QuadPart);
    return 0;
}

bool ComputeFileMd5(const std::wstring& path, char (&hex)[33])
{
    ContentDigests digests;
    if (ComputeFileDigests(path, true, false, digests) != 0 || digests.size == 0)
        return false;
    std::memcpy(hex, digests.md5, sizeof(hex));
    return true;
}

} // namespace orvanta
