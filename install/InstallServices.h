// What the install stage asks of the system where a test cannot let it happen for real:
// restarting the machine, running as LocalSystem, the Windows package manager. The entry builds
// one with the real calls; tests build one with their own.
#pragma once

#include "install/MsixDeployment.h"
#include "install/Reboot.h"
#include "platform/LocalSystem.h"

#include <string>

namespace orvanta {

struct InstallServices {
    RebootActions reboot = RealRebootActions();
    bool (*isLocalSystem)() = &IsLocalSystemAccount;
    // True when the MSIX, MSIX bundle or APPX package was installed.
    bool (*deployMsix)(const std::wstring& path) = &DeployMsixPackage;
};

} // namespace orvanta
