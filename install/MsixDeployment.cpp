#include "install/MsixDeployment.h"

#include "platform/Paths.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <atomic>

namespace orvanta {
namespace {

std::atomic<MsixDeployer> g_deployer{nullptr};

// Deployment through the Windows Runtime package manager is not built in yet: every package
// fails here, which the install stage reports as 1627.
bool DeployWithPackageManager(const std::wstring&)
{
    return false;
}

struct DeployRequest {
    MsixDeployer deployer;
    const std::wstring& path;
    bool succeeded;
};

// The package deployment interfaces need a thread in the multithreaded COM apartment.
DWORD WINAPI DeployThread(void* parameter)
{
    DeployRequest& request = *static_cast<DeployRequest*>(parameter);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    request.succeeded =
        request.deployer != nullptr ? request.deployer(request.path) : DeployWithPackageManager(request.path);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

} // namespace

bool IsMsixPackage(const std::wstring& path)
{
    const std::wstring file = WithoutLongPathPrefix(path);
    const size_t dot = file.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring extension = file.substr(dot + 1);
    return _wcsicmp(extension.c_str(), L"msix") == 0 || _wcsicmp(extension.c_str(), L"msixbundle") == 0 ||
           _wcsicmp(extension.c_str(), L"appx") == 0;
}

bool DeployMsixPackage(const std::wstring& path)
{
    DeployRequest request{g_deployer.load(), path, false};
    const UniqueHandle thread(::CreateThread(nullptr, 0, DeployThread, &request, 0, nullptr));
    if (!thread)
        return false;
    ::WaitForSingleObject(thread.Get(), INFINITE);
    return request.succeeded;
}

void SetMsixDeployer(MsixDeployer deployer)
{
    g_deployer.store(deployer);
}

} // namespace orvanta
