#include "platform/PackageManager.h"

#include "platform/Paths.h"
#include "platform/SystemFunction.h"
#include "platform/UniqueResource.h"

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
};

const Combase& Functions()
{
    static const Combase combase = [] {
        Combase loaded;
        loaded.module = LoadSystemLibrary(L"combase.dll");
        loaded.getActivationFactory =
            GetModuleFunction<RoGetActivationFactoryFn>(loaded.module.Get(), "RoGetActivationFactory");
        loaded.incrementMtaUsage =
            GetModuleFunction<CoIncrementMTAUsageFn>(loaded.module.Get(), "CoIncrementMTAUsage");
        return loaded;
    }();
    return combase;
}

// {00000035-0000-0000-C000-000000000046}
const IID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {9A7D4B65-5E8F-4FC7-A2E5-7F6925CB8B53}
const IID kIidPackageManager = {0x9A7D4B65, 0x5E8F, 0x4FC7, {0xA2, 0xE5, 0x7F, 0x69, 0x25, 0xCB, 0x8B, 0x53}};

} // namespace

HRESULT CombaseActivationFactory(const std::wstring& className, REFIID iid, void** factory)
{
    const Combase& combase = Functions();
    if (combase.getActivationFactory == nullptr)
        return REGDB_E_CLASSNOTREG;
    UniqueHString name;
    if (!name.Create(className))
        return E_OUTOFMEMORY;
    return combase.getActivationFactory(name.Get(), iid, factory);
}

RuntimeActivation::RuntimeActivation(ActivationFactoryFunction factories) : factories_(factories) {}

RuntimeActivation::~RuntimeActivation()
{
    if (IPackageManagerAbi* cached = cachedManager_.exchange(nullptr))
        cached->Release();
}

HRESULT RuntimeActivation::GetActivationFactory(const std::wstring& className, REFIID iid, void** factory) const
{
    *factory = nullptr;
    return factories_(className, iid, factory);
}

HRESULT RuntimeActivation::ActivatePackageManager(ComRef<IPackageManagerAbi>& manager) const
{
    ComRef<IActivationFactory> factory;
    HRESULT result = GetActivationFactory(L"Windows.Management.Deployment.PackageManager", kIidActivationFactory,
                                          reinterpret_cast<void**>(factory.Put()));
    if (FAILED(result))
        return result;
    if (!factory)
        return E_POINTER;
    ComRef<IInspectable> instance;
    result = factory->ActivateInstance(instance.Put());
    if (FAILED(result))
        return result;
    if (!instance)
        return E_POINTER;
    return instance->QueryInterface(kIidPackageManager, reinterpret_cast<void**>(manager.Put()));
}

IPackageManagerAbi* RuntimeActivation::AcquirePackageManager(HRESULT* result)
{
    if (IPackageManagerAbi* cached = cachedManager_.load()) {
        cached->AddRef();
        *result = S_OK;
        return cached;
    }
    ComRef<IPackageManagerAbi> manager;
    *result = ActivatePackageManager(manager);
    if (FAILED(*result))
        return nullptr;
    if (!manager) {
        *result = E_NOINTERFACE;
        return nullptr;
    }
    IPackageManagerAbi* expected = nullptr;
    if (cachedManager_.compare_exchange_strong(expected, manager.Get())) {
        // The cache keeps this reference; the apartment it lives in must outlive every worker
        // thread that leaves it.
        const Combase& combase = Functions();
        void* cookie = nullptr;
        if (combase.incrementMtaUsage != nullptr && factories_ == &CombaseActivationFactory)
            combase.incrementMtaUsage(&cookie);
        manager->AddRef();
        return manager.Detach();
    }
    expected->AddRef();
    return expected;
}

RuntimeActivation& SystemRuntimeActivation()
{
    // Never destroyed: the package manager must not be released while the process ends.
    static RuntimeActivation* const system = new RuntimeActivation();
    return *system;
}

} // namespace orvanta
