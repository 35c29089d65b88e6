// Deployment of MSIX, MSIX bundle and APPX packages through the Windows package manager.
#pragma once

#include <string>

namespace orvanta {

// True for the extensions "msix", "msixbundle" and "appx" (case ignored).
bool IsMsixPackage(const std::wstring& path);

// Installs the package on a thread of its own (the deployment interfaces need a thread in the
// multithreaded apartment) and waits for it; true when the installation succeeded.
bool DeployMsixPackage(const std::wstring& path);

// Tests replace the deployment; null restores the real one.
using MsixDeployer = bool (*)(const std::wstring& path);
void SetMsixDeployer(MsixDeployer deployer);

} // namespace orvanta
