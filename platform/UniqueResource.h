// One owner type for every kind of system resource: a handle, a key, a find handle, a loaded
// module (WinINet handles: download/WinInetApi.h). Each alias knows its own "invalid" value.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    T Get() const noexcept { return value_; }
    bool IsValid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // For APIs that return the resource through an out parameter.
    T* Put() noexcept
    {
        Reset();
        return &value_;
    }

    T Release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // Closing keeps the thread's last error: callers read it after cleanup has run.
    void Reset(T value = Traits::Invalid()) noexcept
    {
        if (IsValid()) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

private:
    T value_ = Traits::Invalid();
};

struct HandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

struct KeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY k) noexcept { ::RegCloseKey(k); }
};

struct ModuleTraits {
    static HMODULE Invalid() noexcept { return nullptr; }
    static void Close(HMODULE m) noexcept { ::FreeLibrary(m); }
};

struct LocalMemoryTraits {
    static HLOCAL Invalid() noexcept { return nullptr; }
    static void Close(HLOCAL p) noexcept { ::LocalFree(p); }
};

using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueFile = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueFind = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueKey = UniqueResource<HKEY, KeyTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueLocal = UniqueResource<HLOCAL, LocalMemoryTraits>;

// Undo-on-failure step: runs its action at scope end unless Release() was called.
template <typename Action>
class ScopeGuard {
public:
    explicit ScopeGuard(Action action) : action_(std::move(action)) {}
    ~ScopeGuard()
    {
        if (active_)
            action_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    void Release() noexcept { active_ = false; }

private:
    Action action_;
    bool active_ = true;
};

} // namespace orvanta
