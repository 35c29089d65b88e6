// Deployment of MSIX, MSIX bundle and APPX packages through the Windows package manager.
#pragma once

#include "platform/PackageManager.h"

#include <cstdint>
#include <string>

namespace orvanta {

// True for the extensions "msix", "msixbundle" and "appx" (case ignored).
bool IsMsixPackage(const std::wstring& path);

// Installs the package and waits for the package manager to finish: 0 when it was installed,
// 1627 (ERROR_FUNCTION_FAILED) for every failure. Runs on a thread of its own, which runs the
// deployment on a thread of the multithreaded apartment (the deployment interfaces need one).
// A failing Windows Runtime call (under Wine: the package manager is not registered) ends in
// 1627 and a log line with its HRESULT. The package manager comes from `runtime`.
uint32_t InstallMsixPackage(const std::wstring& path, RuntimeActivation& runtime = SystemRuntimeActivation());

// InstallMsixPackage(path) == 0.
bool DeployMsixPackage(const std::wstring& path);

} // namespace orvanta
