#include "run/Chainer.h"

#include "config/FolderProperties.h"
#include "detection/FileVersion.h"
#include "run/ResultFile.h"
#include "run/RunRecord.h"
#include "run/UserInterface.h"
#include "platform/ExceptionPresenter.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/ProcessLaunch.h"
#include "platform/Resources.h"
#include "platform/ResultCodes.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"
#include "platform/resource.h"

#include <atomic>
#include <exception>

namespace orvanta {
namespace {

std::atomic<bool> g_interfaceShown{false};

const wchar_t kInstallerMutex[] = L"Global\\_MSIExecute";

// A mutex left abandoned by an owner that ended guards no running installation either.
bool Acquired(DWORD waitResult)
{
    return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED;
}

// Waiting on a mutex takes it, but the chainer only wants to know that no installation
// executes: holding the execution mutex would make every Windows Installer package it starts
// fail with 1618 for the whole run. So it is handed back at once.
// With the status window up, the waiting thread keeps dispatching its messages: a long wait
// must not leave the window unpainted and unanswering.
DWORD WaitWithoutTimeout(HANDLE handle, bool pumpMessages)
{
    return pumpMessages ? WaitDispatchingMessages(handle) : ::WaitForSingleObject(handle, INFINITE);
}

bool WaitAndHandBack(HANDLE mutex, bool pumpMessages)
{
    if (!Acquired(WaitWithoutTimeout(mutex, pumpMessages)))
        return false;
    ::ReleaseMutex(mutex);
    return true;
}

DWORD WINAPI WaitForMutex(void* mutex)
{
    return ::WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
}

// Without the right to release the mutex, the wait runs on a thread of its own: its end hands
// the mutex on (as abandoned) instead of holding it for the run.
bool WaitOnPassingThread(HANDLE mutex, bool pumpMessages)
{
    const UniqueHandle waiter(::CreateThread(nullptr, 0, WaitForMutex, mutex, 0, nullptr));
    if (!waiter)
        return false;
    WaitWithoutTimeout(waiter.Get(), pumpMessages);
    DWORD result = WAIT_FAILED;
    return ::GetExitCodeThread(waiter.Get(), &result) && Acquired(result);
}

// The package's Language key wins over the user's display language; a tag without a shipped
// language is named in the log and the user's language is used.
void ChooseDisplayLanguage(const std::wstring& configuredTag)
{
    const DisplayLanguage* language = nullptr;
    if (!configuredTag.empty()) {
        language = LanguageForTag(configuredTag);
        if (language == nullptr)
            LogLine(L"Language " + configuredTag + L" is not available; the user's display language is used.");
    }
    if (language == nullptr)
        language = &LanguageForUiLanguage(::GetUserDefaultUILanguage());
    UseDisplayLanguage(*language);
}

} // namespace

bool InterfaceShown()
{
    return g_interfaceShown;
}

void SetInterfaceShown(bool shown)
{
    g_interfaceShown = shown;
}

std::wstring IniPathForModule(const std::wstring& modulePath)
{
    const std::wstring folder = GetParentFolder(modulePath);
    std::wstring name = GetFileNamePart(modulePath);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path + name + L".ini";
}

std::wstring SetupTitle(const std::wstring& modulePath)
{
    return FillPlaceholders(LoadStringResource(IDS_SETUP_TITLE), GetVersionResourceString(modulePath));
}

Chainer::Chainer(std::unique_ptr<PrerequisiteRun> run, UserInterface* ui, RunRecord* record)
    : run_(std::move(run)), ui_(ui), record_(record)
{
}

Chainer::~Chainer()
{
    // While another thread reports the error the run ends with, the package stays as it is and
    // the report is all that is shown: that thread ends the process.
    if (AnotherThreadReports()) {
        if (ui_ != nullptr)
            ui_->CloseStatus();
        WaitWhileAnotherThreadReports();
    }
    if (std::uncaught_exceptions() == 0) {
        cleanup_.DeleteCleanupFiles();
        cleanup_.RunPowerShellCleanup();
    }
    if (ui_ != nullptr)
        ui_->CloseStatus();
}

bool Chainer::ReadIniFile(IniFile& ini) const
{
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW(iniPath_.c_str(), &found));
    if (!find)
        return false;

    // Only the low 32 bits of the size are used: INI files are small.
    const DWORD size = found.nFileSizeLow;
    const UniqueFile file(::CreateFileW(iniPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || size <= 2 || ::SetFilePointer(file.Get(), 2, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return true;
    std::string bytes(size, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), &bytes[2], size - 2, &read, nullptr) || read == 0)
        return true;
    bytes.resize(2 + read);
    ini.Parse(IniTextFromBytes(bytes));
    return true;
}

void Chainer::ResolveExtractionFolder(ChainerConfig& config)
{
    // Resolved once per process, like the temporary folder it may default to.
    static const std::wstring folder = ResolveConfiguredFolder(config, config.general.ExtractionFolder);
    config.extractionFolder = folder;
    extraction_.Configure(folder);
}

bool Chainer::WaitForWindowsInstaller(bool statusShown) const
{
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kInstallerMutex));
    if (mutex)
        return WaitAndHandBack(mutex.Get(), statusShown);
    const DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED)
        return error == ERROR_FILE_NOT_FOUND;
    // An access list that lets this account wait but not release.
    mutex.Reset(::OpenMutexW(SYNCHRONIZE, FALSE, kInstallerMutex));
    if (!mutex)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    return WaitOnPassingThread(mutex.Get(), statusShown);
}

void Chainer::EndAsAlreadyRunning(UserInterface* ui)
{
    // The files to delete belong to the run that holds the lock.
    cleanup_ = DeferredCleanup();
    LogLine(LoadStringResource(IDS_ALREADY_RUNNING, TextFor::Log));
    if (ui != nullptr)
        ui->ShowMessage(LoadStringResource(IDS_ALREADY_RUNNING));
    end_ = RunEnd::AlreadyRunning;
}

void Chainer::Run()
{
    modulePath_ = GetModulePath();
    if (modulePath_.empty())
        return;  // a module path of MAX_PATH or more is not supported: end quietly with 0
    moduleFolder_ = GetParentFolder(modulePath_);
    iniPath_ = IniPathForModule(modulePath_);

    IniFile ini;
    if (!ReadIniFile(ini))
        return;

    ChainerConfig config = LoadConfig(ini);
    cleanup_.SetUp(ini, modulePath_, iniPath_);
    CleanupSettings cleanup;
    if (ReadCleanupSettings(ini, cleanup) && !cleanup.LogFile.empty()) {
        LogEnabled = true;
        Logger::Instance().SetLogFile(cleanup.LogFile);
    }
    exitCodes_ = config.general.ExitCodes;
    if (record_ != nullptr)
        record_->Configure(ResolveResultFile(cleanup.ResultFile, moduleFolder_), exitCodes_);

    silent_ = IsSilent(config);
    SetInterfaceShown(!silent_);
    ChooseDisplayLanguage(config.general.Language);
    UserInterface* ui = silent_ ? nullptr : ui_;
    if (ui != nullptr)
        ui->SetTitle(SetupTitle(modulePath_));
    // Before anything is searched, downloaded or deleted: a second start of the package (a
    // double click) would fight the first over its downloads and delete its INI file.
    if (!runLock_.Acquire(iniPath_)) {
        EndAsAlreadyRunning(ui);
        return;
    }

    extraction_.SetModule(modulePath_, WithTrailingBackslash(moduleFolder_));
    ResolveExtractionFolder(config);
    if (ui != nullptr)
        ui->ShowStatus(LoadStringResource(IDS_PREPARING));

    ::SetCurrentDirectoryW(moduleFolder_.c_str());
    if (!WaitForWindowsInstaller(ui != nullptr))
        return;

    config.programs = &extraction_;
    // In the package's folder: a relative DownloadFolder is taken from there.
    config.downloadFolder = ResolveConfiguredFolder(config, config.general.DownloadFolder);
    end_ = InstallPrerequisites(config, extraction_, *run_, ui, record_).end;
}

} // namespace orvanta
