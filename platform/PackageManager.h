// Windows Runtime activation for MSIX and APPX packages: activation factories from combase (looked
// up at run time: it does not exist before Windows 8) behind a seam for tests, and the process's
// cached package manager, shared by the package search and the deployment.
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
    // The operation is an IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>.
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

// The activation factory of a runtime class with the interface `iid` (RoGetActivationFactory).
// REGDB_E_CLASSNOTREG when combase is missing.
HRESULT GetActivationFactory(const std::wstring& className, REFIID iid, void** factory);

// The package manager, activated on the first successful call and kept for the process (the
// multithreaded apartment is kept alive with it). The calling thread must have joined the
// multithreaded apartment. Returns a new reference, or null with the failure in `result`.
IPackageManagerAbi* AcquirePackageManager(HRESULT* result);

// Tests put fake activation factories in place of combase's; null restores combase. Either way
// the cached package manager is dropped so that the next caller activates a new one.
using ActivationFactoryFunction = HRESULT (*)(const std::wstring& className, REFIID iid, void** factory);
void SetActivationFactoryFunction(ActivationFactoryFunction function);

} // namespace orvanta
