// Owners for COM and Windows Runtime resources: the calling thread's membership of an
// apartment, one interface reference and one HSTRING. The string functions come from combase,
// looked up at run time (it does not exist before Windows 8).
#pragma once

#include <windows.h>
#include <hstring.h>
#include <objbase.h>

#include <string>

namespace orvanta {

// The calling thread joins a COM apartment (COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED)
// for the life of the object, and leaves it again when the join succeeded.
class ComApartment {
public:
    explicit ComApartment(DWORD model) noexcept : result_(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // What joining gave: S_OK, S_FALSE (already a member), or the failure.
    HRESULT Result() const noexcept { return result_; }

private:
    HRESULT result_;
};

// Owns one COM reference.
template <typename T>
class ComRef {
public:
    ComRef() noexcept = default;
    explicit ComRef(T* pointer) noexcept : pointer_(pointer) {}
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    T** Put() noexcept
    {
        Reset();
        return &pointer_;
    }
    void Reset() noexcept
    {
        if (pointer_ != nullptr)
            pointer_->Release();
        pointer_ = nullptr;
    }
    T* Detach() noexcept
    {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }

private:
    T* pointer_ = nullptr;
};

// Owns one HSTRING (null is the empty string).
class UniqueHString {
public:
    UniqueHString() noexcept = default;
    ~UniqueHString();
    UniqueHString(const UniqueHString&) = delete;
    UniqueHString& operator=(const UniqueHString&) = delete;

    // False when combase is missing or the string cannot be made.
    bool Create(const std::wstring& text);
    HSTRING Get() const noexcept { return value_; }
    HSTRING* Put() noexcept;
    std::wstring Text() const;

private:
    HSTRING value_ = nullptr;
};

} // namespace orvanta
