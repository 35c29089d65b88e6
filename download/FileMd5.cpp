#include "download/FileMd5.h"

#include "download/Md5.h"
#include "platform/Paths.h"
#include "platform/UniqueResource.h"

#include <vector>

namespace orvanta {
namespace {

const DWORD kBlockSize = 64 * 1024;

} // namespace

bool ComputeFileMd5(const std::wstring& path, char (&hex)[33])
{
    UniqueFile file(::CreateFileW(MakeLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0)
        return false;

    // Only the bytes present at the start count: a file that grows meanwhile is hashed as it
    // was; one that shrinks fails.
    uint64_t remaining = static_cast<uint64_t>(size.QuadPart);
    std::vector<uint8_t> buffer(kBlockSize);
    Md5 md5;
    while (remaining > 0) {
        const DWORD wanted = remaining < kBlockSize ? static_cast<DWORD>(remaining) : kBlockSize;
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), wanted, &read, nullptr) || read == 0)
            return false;
        md5.Update(buffer.data(), read);
        remaining -= read;
    }
    Md5::ToHex(md5.Finish(), hex);
    return true;
}

} // namespace orvanta
