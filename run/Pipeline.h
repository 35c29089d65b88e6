// The decision logic for each prerequisite: operating-system and processor filter, search,
// decision, selection with parents and children, the re-check after the installers and the
// mandatory check. Prerequisites are addressed by their index in the configuration.
#pragma once

#include "config/Config.h"
#include "download/DownloadTargets.h"

#include <cstdint>

namespace orvanta {

// The native processor as IsWow64Process2 reports it, which the processor letters "c" and "d"
// test. Tests hand in probes of their own.
struct NativeMachine {
    bool known = false;       // IsWow64Process2 exists and answered
    bool available = false;   // IsWow64Process2 exists
    uint16_t machine = 0;     // IMAGE_FILE_MACHINE_* of the native processor
};
using NativeMachineProbe = NativeMachine (*)();
NativeMachine QueryNativeMachine();

// Filters, searches and decides for one prerequisite; always true.
bool SearchPrerequisite(ChainerConfig& config, size_t index, bool skipFlagged,
                        NativeMachineProbe nativeMachine = &QueryNativeMachine);
// Searches every prerequisite, then selects those that need installing.
void SearchAllPrerequisites(ChainerConfig& config, NativeMachineProbe nativeMachine = &QueryNativeMachine);
// Sets the selected flag; children follow their parent, a selected child pulls its parent in.
void SetSelected(ChainerConfig& config, size_t index, bool selected);
// Searches again what was selected, after the installers ran.
void RecheckPrerequisites(ChainerConfig& config, NativeMachineProbe nativeMachine = &QueryNativeMachine);
// False when a mandatory prerequisite is still missing.
bool MandatoryCheck(const ChainerConfig& config);

} // namespace orvanta
