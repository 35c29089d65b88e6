// Helpers for tests that use real files, registry keys and processes under Wine.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under %TEMP%, removed with everything in it at scope end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& path);

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// UTF-16 LE, with FF FE in front when withBom.
bool WriteUtf16File(const std::wstring& path, const std::wstring& text, bool withBom = true);
// A UTF-16 LE file's text; a leading byte-order mark is dropped.
std::wstring ReadUtf16File(const std::wstring& path);
bool FileExists(const std::wstring& path);

// The value of an environment variable set by CTest (paths of the built programs).
std::wstring EnvironmentValue(const wchar_t* name);
// A path in the folder of the test program, where the build puts test packages and links.
std::wstring BesideTestProgram(const std::wstring& name);
bool IsReparsePoint(const std::wstring& path);
size_t CountOf(const std::wstring& text, const std::wstring& part);

// Polls (bounded) until `condition` holds; false when it never did.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = 30000);

struct ProcessResult {
    bool started = false;
    bool finished = false;  // false: killed after the timeout
    DWORD exitCode = 0;
};
// Runs `commandLine` in `workingFolder` (empty: current) and waits at most timeoutMs.
ProcessResult RunProcess(const std::wstring& commandLine, const std::wstring& workingFolder = L"",
                         DWORD timeoutMs = 60000);

// A process started without waiting; killed at scope end when still running.
class StartedProcess {
public:
    StartedProcess(const std::wstring& commandLine, const std::wstring& workingFolder = L"");
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    HANDLE Handle() const { return process_; }
    DWORD Id() const { return id_; }
    bool Running() const;
    // Waits (bounded); true with the exit code when it ended.
    bool Wait(DWORD& exitCode, DWORD limitMs = 120000);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A manual-reset event, named uniquely for this process, that a test and the test helper
// ("--signal", "--wait") use to tell each other when to go on.
class Gate {
public:
    explicit Gate(const std::wstring& name);
    ~Gate();
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    const std::wstring& Name() const { return name_; }
    void Open() { ::SetEvent(event_); }
    void Shut() { ::ResetEvent(event_); }
    // Waits (bounded) until something else opened it.
    bool WaitOpen(DWORD limitMs = 30000) { return ::WaitForSingleObject(event_, limitMs) == WAIT_OBJECT_0; }

private:
    std::wstring name_;
    HANDLE event_;
};

// Registry helpers for test-owned keys.
void DeleteRegistryTree(HKEY root, const std::wstring& path);
bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                      DWORD size, REGSAM view = 0);
bool SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value,
                       REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const std::wstring& path);
bool ReadRegistryString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value);

// HKCU keys a test writes: deleted when the object is made and again at scope end.
class ScratchKeys {
public:
    explicit ScratchKeys(std::vector<std::wstring> paths) : paths_(std::move(paths)) { Delete(); }
    ~ScratchKeys() { Delete(); }
    ScratchKeys(const ScratchKeys&) = delete;
    ScratchKeys& operator=(const ScratchKeys&) = delete;
    void Delete() const;

private:
    std::vector<std::wstring> paths_;
};

// Lines of a log text without their time stamps ("YYYY-MM-DD hh-mm-ss-").
std::vector<std::wstring> LogMessages(const std::wstring& logText);
bool ContainsLine(const std::vector<std::wstring>& lines, const std::wstring& line);

// The program's log, enabled into run.log of a fresh folder for the life of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::wstring Path() const { return dir_ / L"run.log"; }
    std::wstring Text() const { return ReadUtf16File(Path()); }
    std::vector<std::wstring> Lines() const { return LogMessages(Text()); }

private:
    TempDir dir_;
};

// The access-allowed entries of an access list (or a file's), as string SID -> access mask.
std::map<std::wstring, ACCESS_MASK> AllowedEntries(const ACL* dacl);
std::map<std::wstring, ACCESS_MASK> AllowedEntriesOf(const std::wstring& path);

} // namespace testing_support
