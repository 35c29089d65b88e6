// Restarting the machine after an installer whose reboot policy asks for it.
#pragma once

namespace orvanta {

// The two system actions behind a reboot. Tests hand in their own: nothing here may ever
// restart the machine that runs the tests.
struct RebootActions {
    // Shows the Yes/No question; returns the MessageBoxW answer (IDYES, IDNO, ...).
    int (*askToRestart)();
    // Enables SeShutdownPrivilege and calls ExitWindowsEx; true when the restart was started.
    bool (*restart)();
};
RebootActions RealRebootActions();

// Asks first unless silent; only the answer Yes restarts. Returns true when the restart was
// started; false when the user did not say Yes (rebootNeeded is then set) or a system call failed.
bool RebootMachine(const RebootActions& actions, bool silent, bool& rebootNeeded);

} // namespace orvanta
