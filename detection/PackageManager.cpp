#include "detection/PackageManager.h"

#include "platform/Paths.h"
#include "platform/UniqueResource.h"
#include "platform/SystemFunction.h"

#include <activation.h>

#include <atomic>

namespace orvanta {
namespace {

using RoGetActivationFactoryFn = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
using CoIncrementMTAUsageFn = HRESULT(WINAPI*)(void**);

struct Combase {
    UniqueModule module;
    RoGetActivationFactoryFn getActivationFactory = nullptr;
    CoIncrementMTAUsageFn incrementMtaUsage = nullptr;

    bool Complete() const
    {
        return getActivationFactory != nullptr;
    }
};

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function)
{
    function = GetModuleFunction<Function>(module, name);
}

const Combase& Functions()
{
    static const Combase combase = [] {
        Combase loaded;
        loaded.module = LoadSystemLibrary(L"combase.dll");
        if (loaded.module) {
            const HMODULE module = loaded.module.Get();
            LookUp(module, "RoGetActivationFactory", loaded.getActivationFactory);
            LookUp(module, "CoIncrementMTAUsage", loaded.incrementMtaUsage);
        }
        return loaded;
    }();
    return combase;
}

// {00000035-0000-0000-C000-000000000046}
const IID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {9A7D4B65-5E8F-4FC7-A2E5-7F6925CB8B53}
const IID kIidPackageManager = {0x9A7D4B65, 0x5E8F, 0x4FC7, {0xA2, 0xE5, 0x7F, 0x69, 0x25, 0xCB, 0x8B, 0x53}};

std::atomic<IPackageManagerAbi*> cachedManager{nullptr};

HRESULT ActivatePackageManager(ComRef<IPackageManagerAbi>& manager)
{
    const Combase& combase = Functions();
    if (!combase.Complete())
        return REGDB_E_CLASSNOTREG;
    UniqueHString className;
    if (!className.Create(L"Windows.Management.Deployment.PackageManager"))
        return E_OUTOFMEMORY;
    ComRef<IActivationFactory> factory;
    HRESULT result =
        combase.getActivationFactory(className.Get(), kIidActivationFactory, reinterpret_cast<void**>(factory.Put()));
    if (FAILED(result))
        return result;
    ComRef<IInspectable> instance;
    result = factory->ActivateInstance(instance.Put());
    if (FAILED(result))
        return result;
    return instance->QueryInterface(kIidPackageManager, reinterpret_cast<void**>(manager.Put()));
}

} // namespace

IPackageManagerAbi* AcquirePackageManager(HRESULT* result)
{
    if (IPackageManagerAbi* cached = cachedManager.load()) {
        cached->AddRef();
        *result = S_OK;
        return cached;
    }
    ComRef<IPackageManagerAbi> manager;
    *result = ActivatePackageManager(manager);
    if (FAILED(*result))
        return nullptr;
    IPackageManagerAbi* expected = nullptr;
    if (cachedManager.compare_exchange_strong(expected, manager.Get())) {
        // The cache keeps this reference; the apartment it lives in must outlive every worker
        // thread that leaves it.
        const Combase& combase = Functions();
        void* cookie = nullptr;
        if (combase.incrementMtaUsage != nullptr)
            combase.incrementMtaUsage(&cookie);
        manager->AddRef();
        return manager.Detach();
    }
    expected->AddRef();
    return expected;
}

} // namespace orvanta
