#include "run/RunLock.h"

#include "download/Sha256.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <windows.h>

#include <vector>

namespace orvanta {
namespace {

std::wstring FullPath(const std::wstring& path)
{
    const std::wstring plain = NormalizePath(path);
    const DWORD size = ::GetFullPathNameW(plain.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return plain;
    std::vector<wchar_t> buffer(size + 1);
    const DWORD length = ::GetFullPathNameW(plain.c_str(), size + 1, buffer.data(), nullptr);
    if (length == 0 || length > size)
        return plain;
    return NormalizePath(std::wstring(buffer.data(), length));
}

} // namespace

std::wstring RunLockName(const std::wstring& iniPath)
{
    std::wstring key = FullPath(iniPath);
    // File names on Windows compare without regard to case.
    if (!key.empty())
        ::CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    Sha256 hash;
    hash.Update(key.data(), key.size() * sizeof(wchar_t));
    char hex[65];
    Sha256::ToHex(hash.Finish(), hex);
    // The whole path would not do: a mutex name may not hold a backslash and is limited to
    // MAX_PATH characters.
    return L"Local\\OrvantaChainer." + std::wstring(hex, hex + 32);
}

RunLock::~RunLock()
{
    if (held_)
        ::ReleaseMutex(mutex_.Get());
}

bool RunLock::Acquire(const std::wstring& iniPath)
{
    const std::wstring name = RunLockName(iniPath);
    mutex_.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) {
        const DWORD error = ::GetLastError();
        LogLine(Format(L"The lock of this package cannot be made (error %u).", error));
        // Made by another run with an access list that keeps this one out: that run is there.
        return error != ERROR_ACCESS_DENIED;
    }
    // A run that was killed leaves the mutex abandoned: it guards nothing any more.
    const DWORD result = ::WaitForSingleObject(mutex_.Get(), 0);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!held_ && result != WAIT_TIMEOUT)
        LogLine(Format(L"The lock of this package cannot be taken (wait result %u).", result));
    return held_ || result != WAIT_TIMEOUT;
}

} // namespace orvanta
