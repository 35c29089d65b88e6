#include "download/DownloadVerification.h"

#include "download/FileMd5.h"
#include "platform/Paths.h"
#include "platform/UniqueResource.h"

namespace orvanta {
namespace {

wchar_t LowerHexLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The whole size: a file of 4 GiB and more never passes for a smaller one.
bool HasSize(const std::wstring& path, uint32_t expectedSize)
{
    UniqueFile file(::CreateFileW(MakeLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.Get(), &size))
        size.QuadPart = 0;
    return size.QuadPart == static_cast<LONGLONG>(expectedSize);
}

} // namespace

bool Md5Matches(const char (&computed)[33], const std::wstring& configured)
{
    if (configured.size() < 32)
        return false;
    for (size_t i = 0; i < 32; ++i) {
        if (LowerHexLetter(configured[i]) != static_cast<wchar_t>(static_cast<unsigned char>(computed[i])))
            return false;
    }
    return true;
}

bool DownloadedFileAcceptable(const std::wstring& path, uint32_t expectedSize, const std::wstring& md5)
{
    if (expectedSize != 0 && !HasSize(path, expectedSize))
        return false;
    if (md5.empty())
        return true;
    char computed[33];
    return ComputeFileMd5(path, computed) && Md5Matches(computed, md5);
}

} // namespace orvanta
