// Real child processes for the process-launch tests: the test helper started with flags, a
// named "ready" event it sets, its report file, and a reaper that ends whatever is left.
#pragma once

#include "platform/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace install_tests {

std::wstring TestHelperPath();
// The helper's path in double quotes followed by a space and the arguments.
std::wstring HelperCommandLine(const std::wstring& arguments);

// key=value lines written by `testhelper --report FILE`; empty when the file is missing.
std::map<std::wstring, std::wstring> ReadReport(const std::wstring& path);
uint32_t ReportedNumber(const std::map<std::wstring, std::wstring>& report, const std::wstring& key);

// A manual-reset event with a name unique to this test run.
class ReadyEvent {
public:
    ReadyEvent();
    const std::wstring& Name() const { return name_; }
    bool Wait(DWORD milliseconds = 30000) const;

private:
    std::wstring name_;
    orvanta::UniqueHandle event_;
};

// Terminates the listed processes at scope end (children started as testing_support::StartedProcess
// end with their object; this is for the grandchildren they start).
class ProcessReaper {
public:
    ~ProcessReaper();
    void Add(DWORD processId) { ids_.push_back(processId); }

private:
    std::vector<DWORD> ids_;
};

// Waits at most timeoutMs for the process to end; its exit code, or STILL_ACTIVE.
DWORD WaitForExitCode(HANDLE process, DWORD timeoutMs = 30000);

} // namespace install_tests
