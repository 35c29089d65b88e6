#include "run/Chainer.h"

#include "config/FolderProperties.h"
#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <atomic>
#include <exception>

namespace orvanta {
namespace {

std::atomic<bool> g_interfaceShown{false};

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

bool InterfaceShown()
{
    return g_interfaceShown;
}

std::wstring IniPathForModule(const std::wstring& modulePath)
{
    const std::wstring folder = FolderOf(modulePath);
    std::wstring name = GetFileNamePart(modulePath);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path + name + L".ini";
}

std::wstring IniTextFromBytes(const std::string& bytes)
{
    if (bytes.size() <= 2)
        return {};
    const size_t units = (bytes.size() - 2) / 2;
    std::wstring text(units, L'\0');
    for (size_t i = 0; i < units; ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 + 2 * i]);
        const auto high = static_cast<unsigned char>(bytes[3 + 2 * i]);
        text[i] = static_cast<wchar_t>(low | (high << 8));
    }
    return text;
}

Chainer::Chainer(std::unique_ptr<PrerequisiteRun> run) : run_(std::move(run)) {}

Chainer::~Chainer()
{
    if (std::uncaught_exceptions() > 0)
        return;
    cleanup_.DeleteCleanupFiles();
    cleanup_.RunPowerShellCleanup();
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
    extraction_.Configure(folder, 3, 3, true);
}

bool Chainer::WaitForWindowsInstaller() const
{
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute"));
    if (!mutex)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    return ::WaitForSingleObject(mutex.Get(), INFINITE) == WAIT_OBJECT_0;
}

void Chainer::Run()
{
    modulePath_ = GetModulePath();
    if (modulePath_.empty())
        return;  // a module path of MAX_PATH or more is not supported: end quietly with 0
    moduleFolder_ = FolderOf(modulePath_);
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

    silent_ = IsSilent(config);
    g_interfaceShown = !silent_;
    extraction_.SetModule(modulePath_, WithTrailingBackslash(moduleFolder_));
    ResolveExtractionFolder(config);

    ::SetCurrentDirectoryW(moduleFolder_.c_str());
    if (!WaitForWindowsInstaller())
        return;

    config.programs = &extraction_;
    const InstallOutcome outcome = InstallPrerequisites(config, extraction_, *run_);
    exitCode_ = outcome.result;
    rebootPending_ = outcome.rebootPending;
}

} // namespace orvanta
