// Windows Runtime access for MSIX and APPX packages: the process's cached package manager
// (combase is looked up at run time: it does not exist before Windows 8).
#pragma once

#include "platform/ComRef.h"

#include <windows.h>
#include <inspectable.h>

#include <cstdint>
#include <string>

namespace orvanta {

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
