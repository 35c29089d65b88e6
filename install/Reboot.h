// Restarting the machine after an installer whose reboot policy asks for it.
#pragma once

namespace orvanta {

// The two system actions behind a reboot. Tests replace them: nothing here may ever restart
// the machine that runs the tests.
struct RebootActions {
    // Shows the Yes/No question; returns the MessageBoxW answer (IDYES, IDNO, ...).
    int (*askToRestart)();
    // Enables SeShutdownPrivilege and calls ExitWindowsEx; true when the restart was started.
    bool (*restart)();
};
RebootActions RealRebootActions();
// Null restores the real actions.
void SetRebootActions(const RebootActions* actions);

// Asks first unless silent; only the answer Yes restarts. Returns true when the restart was
// started; false when the user did not say Yes (rebootNeeded is then set) or a system call failed.
bool RebootMachine(bool silent, bool& rebootNeeded);

} // namespace orvanta
