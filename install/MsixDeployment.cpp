#include "install/MsixDeployment.h"

#include "platform/Paths.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace orvanta {
namespace {

std::atomic<MsixDeployer> g_deployer{nullptr};

// Deployment through the Windows Runtime package manager is not built in yet: every package
// fails here, which the install stage reports as 1627.
bool DeployWithPackageManager(const std::wstring&)
{
    return false;
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
    const MsixDeployer deployer = g_deployer.load();
    bool succeeded = false;
    std::thread worker([&] {
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        succeeded = deployer != nullptr ? deployer(path) : DeployWithPackageManager(path);
        if (SUCCEEDED(com))
            ::CoUninitialize();
    });
    worker.join();
    return succeeded;
}

void SetMsixDeployer(MsixDeployer deployer)
{
    g_deployer.store(deployer);
}

} // namespace orvanta
