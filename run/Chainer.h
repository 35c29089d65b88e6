// One run of the chainer: finds and reads the INI file beside the executable, loads the
// configuration, turns logging on, waits for Windows Installer and installs the prerequisites.
#pragma once

#include "config/Config.h"
#include "run/DeferredCleanup.h"
#include "run/PrerequisiteRun.h"
#include "run/RunLock.h"
#include "install/ExtractionContext.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvanta {

class RunRecord;
class UserInterface;

class Chainer {
public:
    // The interface (not owned; null shows nothing) is used only when the run is not silent.
    // The record (not owned; null: none) learns where the result file goes and what happened.
    explicit Chainer(std::unique_ptr<PrerequisiteRun> run, UserInterface* ui = nullptr, RunRecord* record = nullptr);
    // Runs the deferred cleanup: the listed files are deleted, then the package's script is
    // started. A run that ends with an error report (an exception leaving Run) skips it, so that
    // the package stays as it was for a second attempt and for diagnosis. Then the status window
    // closes.
    ~Chainer();
    Chainer(const Chainer&) = delete;
    Chainer& operator=(const Chainer&) = delete;

    void Run();
    int32_t ExitCode() const { return ExitCodeFor(end_, exitCodes_); }
    RunEnd End() const { return end_; }

private:
    bool ReadIniFile(IniFile& ini) const;
    void ResolveExtractionFolder(ChainerConfig& config);
    // False when the wait failed (then nothing is installed).
    bool WaitForWindowsInstaller(bool statusShown) const;
    // Another run of this package holds the lock: this one says so and ends without its cleanup.
    void EndAsAlreadyRunning(UserInterface* ui);

    // First, so that it goes last: the lock is held until the cleanup is done.
    RunLock runLock_;
    RunEnd end_ = RunEnd::Completed;
    ExitCodeStyle exitCodes_ = ExitCodeStyle::Classic;
    bool silent_ = false;
    ExtractionContext extraction_;
    DeferredCleanup cleanup_;
    std::wstring modulePath_;
    std::wstring iniPath_;
    std::wstring moduleFolder_;
    std::unique_ptr<PrerequisiteRun> run_;
    UserInterface* ui_;
    RunRecord* record_;
};

// "C:\pkg\setup.x64.exe" gives "C:\pkg\setup.x64.ini".
std::wstring IniPathForModule(const std::wstring& modulePath);

// Whether dialogs are shown in this process (not silent); set by the run once it knows.
bool InterfaceShown();
void SetInterfaceShown(bool shown);

// "<ProductName> Setup" for the chainer at `modulePath` (its own version resource).
std::wstring SetupTitle(const std::wstring& modulePath);

} // namespace orvanta
