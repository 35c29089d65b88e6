// Runs the prerequisites' installers one by one: starts each in the way its file type needs,
// records its return code in the inter-boot store, logs it and applies its reboot policy.
#pragma once

#include "install/InstallServices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

class InterbootStore;

enum RebootMode : int32_t {
    RebootNever = 0,
    RebootAfterSuccess = 1,
    RebootWhenFoundInstalled = 2,
};

// True when the command line carries a quiet switch: a '-' or '/' directly followed by 'q'
// (/q, /qn, -q, --q, /quiet; not /Q or /S).
bool IsQuietCommandLine(const std::wstring& commandLine);

struct LaunchItem {
    std::wstring file;
    std::wstring commandLine;
    std::wstring name;
    RebootMode rebootMode = RebootNever;
    uint32_t returnCode = 0;
    bool started = false;  // the installer was started (returnCode is its own)
    std::wstring failureLine;  // the log line that said why it did not start
    std::wstring returnValueProperty;
    int32_t prereqIndex = -1;
};

// Answers whether a prerequisite is now installed (reboot mode 2).
class RebootDecision {
public:
    virtual ~RebootDecision() = default;
    virtual bool InstalledAfterRun(int32_t prereqIndex) = 0;
};

class PackageLauncher {
public:
    enum RunResult { RunDone = 0, RunFailed = 1, RunRebootPending = 2 };

    // The services are not copied: they must outlive the launcher.
    PackageLauncher(InterbootStore* store, RebootDecision* rebootDecision, const InstallServices& services);

    void AddLaunchItem(const std::wstring& file, const std::wstring& commandLine, const std::wstring& name,
                       RebootMode rebootMode, int32_t prereqIndex, const std::wstring& returnValueProperty);
    void Clear() { items_.clear(); }
    const std::vector<LaunchItem>& Items() const { return items_; }

    // Runs item `index` and applies its reboot policy. Throws std::out_of_range for a bad index.
    int RunLaunchItem(size_t index, bool silent);
    // Starts item `index`, waits, records and logs its return code; true for 0 and 3010.
    bool LaunchFile(size_t index);

    uint32_t LastLaunchError() const { return lastLaunchError_; }
    bool RebootNeeded() const { return rebootNeeded_; }
    bool Rebooting() const { return rebooting_; }
    // The user answered No to the restart question.
    bool RebootRefused() const { return rebootRefused_; }
    // A restart was started.
    bool RestartStarted() const { return restartStarted_; }

private:
    bool StartItem(const LaunchItem& item, uint32_t& returnCode);

    InterbootStore* store_;
    const InstallServices& services_;
    RebootDecision* rebootDecision_;
    std::vector<LaunchItem> items_;
    uint32_t lastLaunchError_ = 0;
    bool rebootNeeded_ = false;
    bool rebooting_ = false;
    bool rebootRefused_ = false;
    bool restartStarted_ = false;
};

// The start used when the chainer runs as LocalSystem: .msi files through an explicit
// "msiexec.exe /i" command line for the system folder's msiexec.exe, anything else by
// CreateProcessW.
bool LaunchAsSystemUser(const std::wstring& file, const std::wstring& commandLine, uint32_t& returnCode);
// The application and command line that LaunchAsSystemUser starts (an empty application: the
// system folder was not found, and nothing is started).
void SystemUserCommand(const std::wstring& file, const std::wstring& commandLine, std::wstring& application,
                       std::wstring& fullCommandLine);

} // namespace orvanta
