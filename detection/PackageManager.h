// Windows Runtime access for MSIX and APPX packages: combase looked up at run time (it does not
// exist before Windows 8), a small reference owner, and the process's cached package manager.
#pragma once

#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>
#include <string>

namespace orvanta {

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

// Windows.Management.Deployment.IPackageManager in vtable order. Only the members this program
// calls carry real parameter types.
struct IPackageManagerAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE AddPackageAsync(IInspectable* packageUri, IInspectable* dependencyPackageUris,
                                                      uint32_t deploymentOptions, IInspectable** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync(void*, void*, uint32_t, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageAsync(void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageAsync(void*, void*, uint32_t, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackages(void**) = 0;
    // IIterable<Windows.ApplicationModel.Package>; an empty user id means the current user.
    virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING userSecurityId,
                                                                   IInspectable** packages) = 0;
};

// The package manager, activated on the first successful call and kept for the process (the
// multithreaded apartment is kept alive with it). The calling thread must have joined the
// multithreaded apartment. Returns a new reference, or null with the failure in `result`.
IPackageManagerAbi* AcquirePackageManager(HRESULT* result);

} // namespace orvanta
