#include "install/PackageLauncher.h"

#include "config/FolderProperties.h"
#include "install/InterbootStore.h"
#include "platform/LaunchTarget.h"
#include "platform/ProcessLaunch.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/ResultCodes.h"
#include "platform/SystemError.h"
#include "platform/Text.h"

#include <windows.h>

#include <stdexcept>

namespace orvanta {
namespace {

bool HasExtension(const std::wstring& path, const wchar_t* extension)
{
    const size_t length = wcslen(extension);
    return path.size() >= length && _wcsicmp(path.c_str() + path.size() - length, extension) == 0;
}

// An installer that crashed reports an NT status (both top bits set).
bool IsNtStatus(uint32_t code)
{
    return (code & 0xC0000000u) == 0xC0000000u;
}

} // namespace

bool IsQuietCommandLine(const std::wstring& commandLine)
{
    // The pattern " ?(-|/)+q" matches exactly where a '-' or '/' stands right before a 'q'; a
    // plain scan finds that without a regular-expression engine, whose recursion a long run of
    // slashes drives into a stack overflow.
    for (size_t i = 1; i < commandLine.size(); ++i) {
        if (commandLine[i] == L'q' && (commandLine[i - 1] == L'-' || commandLine[i - 1] == L'/'))
            return true;
    }
    return false;
}

void SystemUserCommand(const std::wstring& file, const std::wstring& commandLine, std::wstring& application,
                       std::wstring& fullCommandLine)
{
    std::wstring arguments = ExpandReferences(commandLine, false);
    if (!arguments.empty() && arguments[0] != L' ')
        arguments.insert(0, 1, L' ');
    if (HasExtension(file, L".msi")) {
        // By its full path: a search would look in the chainer's own folder first.
        application = SystemFolderPath(L"msiexec.exe");
        fullCommandLine = L"msiexec.exe /i \"" + WithoutLongPathPrefix(GetFinalPath(file)) + L"\"" + arguments;
    } else {
        application = file;
        fullCommandLine = L"\"" + file + L"\" " + arguments;
    }
}

bool LaunchAsSystemUser(const std::wstring& file, const std::wstring& commandLine, uint32_t& returnCode)
{
    std::wstring application;
    std::wstring fullCommandLine;
    SystemUserCommand(file, commandLine, application, fullCommandLine);
    if (application.empty()) {
        returnCode = ERROR_FILE_NOT_FOUND;  // never left to a search for the program
        return false;
    }
    return RunProcessAndWait(application, fullCommandLine, NORMAL_PRIORITY_CLASS, &returnCode);
}

PackageLauncher::PackageLauncher(InterbootStore* store, RebootDecision* rebootDecision,
                                 const InstallServices& services)
    : store_(store), services_(services), rebootDecision_(rebootDecision)
{
}

void PackageLauncher::AddLaunchItem(const std::wstring& file, const std::wstring& commandLine,
                                    const std::wstring& name, RebootMode rebootMode, int32_t prereqIndex,
                                    const std::wstring& returnValueProperty)
{
    LaunchItem item;
    item.file = file;
    item.commandLine = commandLine;
    item.name = name;
    item.rebootMode = rebootMode;
    item.prereqIndex = prereqIndex;
    item.returnValueProperty = returnValueProperty;
    items_.push_back(std::move(item));
}

bool PackageLauncher::StartItem(const LaunchItem& item, uint32_t& returnCode)
{
    // No path, a folder or the chainer itself fails like a missing file instead of opening
    // Explorer or starting the chainer again, neither of which would ever end.
    returnCode = CheckLaunchTarget(item.file);
    if (returnCode != 0)
        return false;
    if (IsMsixPackage(item.file)) {
        returnCode = services_.deployMsix(WithoutLongPathPrefix(item.file)) ? 0 : kFunctionFailed;
        return returnCode == 0;
    }
    // Checked here rather than left to the start: the shell faults on a long path under Wine.
    returnCode = CheckStartablePath(item.file);
    if (returnCode != 0)
        return false;
    if (services_.isLocalSystem())
        return LaunchAsSystemUser(item.file, item.commandLine, returnCode);
    return ShellExecuteAndWait(item.file, item.commandLine, std::wstring(), IsQuietCommandLine(item.commandLine),
                               &returnCode);
}

bool PackageLauncher::LaunchFile(size_t index)
{
    LaunchItem& item = items_.at(index);
    LogLine(L"Launching file:" + item.file);
    // An installer may restart the machine or hang it; the log up to here must survive that.
    FlushLog();

    uint32_t returnCode = 0;
    item.started = StartItem(item, returnCode);
    if (!item.started) {
        lastLaunchError_ = returnCode;
        item.failureLine = L"Launch failed. Error:" + GetSystemErrorText(returnCode);
        LogLine(item.failureLine);
    }
    item.returnCode = returnCode;
    LogLine(Format(L"Return code of launched file:%u", returnCode));

    if (store_ != nullptr)
        store_->SetNumber(item.returnValueProperty, static_cast<int32_t>(returnCode));

    // Give a restarting or crashed installer's leftovers a moment to settle.
    if (returnCode == kRebootRequired || IsNtStatus(returnCode))
        ::Sleep(2000);
    return returnCode == 0 || returnCode == kRebootRequired;
}

int PackageLauncher::RunLaunchItem(size_t index, bool silent)
{
    if (!LaunchFile(index))
        return RunFailed;
    const LaunchItem& item = items_[index];

    bool reboot = false;
    if (item.rebootMode == RebootAfterSuccess)
        reboot = true;
    else if (item.rebootMode == RebootWhenFoundInstalled && rebootDecision_ != nullptr)
        reboot = rebootDecision_->InstalledAfterRun(item.prereqIndex);

    if (reboot) {
        LogLine(L"Rebooting machine...");
        rebooting_ = true;
        bool declined = false;
        restartStarted_ = RebootMachine(services_.reboot, silent, declined) || restartStarted_;
        if (declined) {
            rebootNeeded_ = true;
            rebootRefused_ = true;
        }
        return RunRebootPending;
    }
    if (item.returnCode == kRebootRequired) {
        rebootNeeded_ = true;
        return RunRebootPending;
    }
    return RunDone;
}

} // namespace orvanta
