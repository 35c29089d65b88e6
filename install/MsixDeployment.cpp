#include "install/MsixDeployment.h"

#include "install/MsixDeploymentAbi.h"
#include "platform/ComRef.h"
#include "platform/FaultTranslation.h"
#include "platform/Logger.h"
#include "platform/PackageManager.h"
#include "platform/Paths.h"
#include "platform/ResultCodes.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <atomic>

namespace orvanta {
namespace {

// Sets an event when the deployment ends; the package manager may call it on any thread.
class CompletionHandler final : public IDeploymentCompletedHandlerAbi {
public:
    explicit CompletionHandler(HANDLE done)
    {
        HANDLE copy = nullptr;
        if (::DuplicateHandle(::GetCurrentProcess(), done, ::GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS))
            done_.Reset(copy);
    }
    bool IsValid() const { return done_.IsValid(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidAgileObject) ||
            IsEqualIID(iid, kIidDeploymentCompletedHandler)) {
            *object = static_cast<IDeploymentCompletedHandlerAbi*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(IInspectable*, int32_t) override
    {
        ::SetEvent(done_.Get());
        return S_OK;
    }

private:
    ~CompletionHandler() = default;

    std::atomic<ULONG> references_{1};
    UniqueHandle done_;
};

uint32_t Failed(const wchar_t* step, HRESULT result)
{
    LogLine(Format(L"MSIX deployment failed while %ls:0x%08X", step, static_cast<unsigned>(result)));
    return kFunctionFailed;
}

HRESULT LastErrorResult()
{
    const DWORD error = ::GetLastError();
    return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Waits for the operation's end and reads its final status.
uint32_t AwaitDeployment(IDeploymentOperationAbi* operation)
{
    const UniqueHandle done(::CreateEventExW(nullptr, nullptr, CREATE_EVENT_MANUAL_RESET, EVENT_ALL_ACCESS));
    if (!done)
        return Failed(L"creating the completion event", LastErrorResult());
    ComRef<CompletionHandler> handler(new CompletionHandler(done.Get()));
    if (!handler->IsValid())
        return Failed(L"creating the completion event", LastErrorResult());
    const HRESULT attached = operation->put_Completed(handler.Get());
    if (FAILED(attached))
        return Failed(L"attaching the completion handler", attached);
    ::WaitForSingleObject(done.Get(), INFINITE);

    ComRef<IAsyncInfoAbi> info;
    HRESULT result = operation->QueryInterface(kIidAsyncInfo, reinterpret_cast<void**>(info.Put()));
    if (FAILED(result) || !info)
        return Failed(L"reading the deployment status", FAILED(result) ? result : E_NOINTERFACE);
    ComRef<IInspectable> deploymentResult;
    operation->GetResults(deploymentResult.Put());
    int32_t status = AsyncStarted;
    result = info->get_Status(&status);
    if (FAILED(result))
        return Failed(L"reading the deployment status", result);
    if (status == AsyncCompleted)
        return 0;
    HRESULT error = S_OK;
    info->get_ErrorCode(&error);
    LogLine(Format(L"MSIX deployment ended with status %d:0x%08X", status, static_cast<unsigned>(error)));
    return kFunctionFailed;
}

// On a thread of the multithreaded apartment: package manager, URI, AddPackageAsync, wait.
uint32_t Deploy(const std::wstring& path, RuntimeActivation& runtime)
{
    HRESULT result = S_OK;
    const ComRef<IPackageManagerAbi> manager(runtime.AcquirePackageManager(&result));
    if (!manager)
        return Failed(L"activating the package manager", result);

    ComRef<IUriRuntimeClassFactoryAbi> uriFactory;
    result = runtime.GetActivationFactory(L"Windows.Foundation.Uri", kIidUriRuntimeClassFactory,
                                          reinterpret_cast<void**>(uriFactory.Put()));
    if (FAILED(result) || !uriFactory)
        return Failed(L"activating Windows.Foundation.Uri", FAILED(result) ? result : E_NOINTERFACE);
    UniqueHString text;
    if (!text.Create(path))
        return Failed(L"making the package path a string", E_OUTOFMEMORY);
    ComRef<IInspectable> uri;
    result = uriFactory->CreateUri(text.Get(), uri.Put());
    if (FAILED(result) || !uri)
        return Failed(L"making a URI of the package path", FAILED(result) ? result : E_POINTER);

    ComRef<IInspectable> started;
    result = manager->AddPackageAsync(uri.Get(), nullptr, 0, started.Put());
    if (FAILED(result) || !started)
        return Failed(L"starting the deployment", FAILED(result) ? result : E_POINTER);
    return AwaitDeployment(static_cast<IDeploymentOperationAbi*>(static_cast<IInspectable*>(started.Get())));
}

uint32_t DeployInMultithreadedApartment(const std::wstring& path, RuntimeActivation& runtime)
{
    uint32_t returnCode = kFunctionFailed;
    RunOnGuardedThread([&] {
        const ComApartment apartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.Result())) {
            returnCode = Failed(L"joining the multithreaded apartment", apartment.Result());
            return;
        }
        returnCode = Deploy(path, runtime);
    });
    return returnCode;
}

} // namespace

bool IsMsixPackage(const std::wstring& path)
{
    std::wstring file = path;
    if (file.compare(0, 4, L"\\\\?\\") == 0)
        file.erase(0, 4);
    const size_t dot = file.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring extension = file.substr(dot + 1);
    return _wcsicmp(extension.c_str(), L"msix") == 0 || _wcsicmp(extension.c_str(), L"msixbundle") == 0 ||
           _wcsicmp(extension.c_str(), L"appx") == 0;
}

uint32_t InstallMsixPackage(const std::wstring& path, RuntimeActivation& runtime)
{
    uint32_t returnCode = kFunctionFailed;
    RunOnGuardedThread([&] { returnCode = DeployInMultithreadedApartment(MakeLongPath(path), runtime); });
    return returnCode;
}

bool DeployMsixPackage(const std::wstring& path)
{
    return InstallMsixPackage(path) == 0;
}

} // namespace orvanta
