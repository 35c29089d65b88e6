// Everything a run calls outside the chainer that a test replaces: the install stage's services,
// the shell that opens sites, the processor probe. The entry builds one with the real calls
// (test builds of the chainer with some replaced) and hands it to the run.
#pragma once

#include "download/SiteOpener.h"
#include "install/InstallServices.h"
#include "run/RunPlan.h"

namespace orvanta {

struct RunServices {
    InstallServices install;
    SiteShell siteShell = RealSiteShell();
    NativeMachineProbe nativeMachine = &QueryNativeMachine;
};

} // namespace orvanta
