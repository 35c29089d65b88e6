// Windows Runtime activation for MSIX and APPX packages: activation factories from combase (looked
// up at run time: it does not exist before Windows 8) or from a test, and the package manager
// activated through them, kept once activated.
#pragma once

#include "platform/ComRef.h"

#include <windows.h>
#include <inspectable.h>

#include <atomic>
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

// The activation factory of a runtime class with the interface `iid`.
using ActivationFactoryFunction = HRESULT (*)(const std::wstring& className, REFIID iid, void** factory);
// RoGetActivationFactory; REGDB_E_CLASSNOTREG when combase is missing.
HRESULT CombaseActivationFactory(const std::wstring& className, REFIID iid, void** factory);

class RuntimeActivation {
public:
    // Tests hand in fake activation factories.
    explicit RuntimeActivation(ActivationFactoryFunction factories = &CombaseActivationFactory);
    // Releases the package manager.
    ~RuntimeActivation();
    RuntimeActivation(const RuntimeActivation&) = delete;
    RuntimeActivation& operator=(const RuntimeActivation&) = delete;

    HRESULT GetActivationFactory(const std::wstring& className, REFIID iid, void** factory) const;

    // The package manager, activated on the first successful call and kept (over combase, the
    // multithreaded apartment is kept alive with it). The calling thread must have joined the
    // multithreaded apartment. Returns a new reference, or null with the failure in `result`.
    IPackageManagerAbi* AcquirePackageManager(HRESULT* result);

private:
    HRESULT ActivatePackageManager(ComRef<IPackageManagerAbi>& manager) const;

    const ActivationFactoryFunction factories_;
    std::atomic<IPackageManagerAbi*> cachedManager_{nullptr};
};

// The process's activation over combase, shared by the package search and the deployment; its
// package manager lives as long as the process.
RuntimeActivation& SystemRuntimeActivation();

} // namespace orvanta
