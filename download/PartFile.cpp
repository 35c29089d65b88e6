#include "download/PartFile.h"

#include "platform/Paths.h"

#include <utility>

namespace orvanta {
namespace {

constexpr DWORD kHashReadBytes = 256 * 1024;

bool SetFilePosition(HANDLE file, uint64_t position)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

PartFile::PartFile(std::wstring path, bool wantMd5, bool wantSha256, bool wantPeImage)
    : path_(std::move(path)), hasher_(wantMd5, wantSha256, wantPeImage)
{
}

DWORD PartFile::Open(uint64_t keep)
{
    file_.Reset(::CreateFileW(MakeLongPath(path_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              keep != 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        return ::GetLastError();
    if (keep != 0) {
        // The server continues at the offset: anything past it would be stale.
        if (!SetFilePosition(file_.Get(), keep) || !::SetEndOfFile(file_.Get()))
            return ::GetLastError();
    }
    return 0;
}

uint32_t PartFile::HashKeptBytes(uint64_t keep, const std::function<bool()>& canceled, uint32_t canceledResult)
{
    if (!hasher_.Active() || keep == 0)
        return 0;
    if (!SetFilePosition(file_.Get(), 0))
        return ::GetLastError();
    std::vector<char> buffer(kHashReadBytes);
    for (uint64_t left = keep; left > 0;) {
        const DWORD wanted = left < kHashReadBytes ? static_cast<DWORD>(left) : kHashReadBytes;
        DWORD read = 0;
        if (!::ReadFile(file_.Get(), buffer.data(), wanted, &read, nullptr))
            return ::GetLastError();
        if (read == 0)
            return ERROR_HANDLE_EOF;
        hasher_.Feed(buffer, read);
        left -= read;
        if (canceled())
            return canceledResult;
    }
    return SetFilePosition(file_.Get(), keep) ? 0 : ::GetLastError();
}

DWORD PartFile::Write(std::vector<char>& buffer, DWORD bytes)
{
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), buffer.data(), bytes, &written, nullptr))
        return ::GetLastError();
    if (written != bytes)
        return ERROR_WRITE_FAULT;
    // The buffer goes to the hasher as it is, and the next read fills one the hasher is done
    // with: no copy.
    hasher_.Feed(buffer, written);
    return 0;
}

uint64_t PartFile::Size() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.Get(), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

void PartFile::Discard()
{
    file_.Reset();
    ::DeleteFileW(MakeLongPath(path_).c_str());
}

ContentDigests PartFile::Close()
{
    file_.Reset();
    return hasher_.Finish();
}

DWORD MovePartFileOntoTarget(const std::wstring& partialPath, const std::wstring& target)
{
    const std::wstring partial = MakeLongPath(partialPath);
    const std::wstring replaced = MakeLongPath(target);
    ::DeleteFileW(replaced.c_str());
    if (::MoveFileW(partial.c_str(), replaced.c_str()))
        return 0;
    if (!::CopyFileW(partial.c_str(), replaced.c_str(), FALSE))
        return ::GetLastError();
    ::DeleteFileW(partial.c_str());
    return 0;
}

} // namespace orvanta
