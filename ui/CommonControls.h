// The common controls library, which is not among the system's known DLLs: it is loaded at run
// time, never through the import table.
#pragma once

namespace orvanta {

// Loads the common controls (version 6, through the manifest's side-by-side assembly, else the
// system folder's copy) and registers the progress bar and the standard control classes. Once
// per process; false when the library cannot be loaded.
bool LoadCommonControls();

} // namespace orvanta
