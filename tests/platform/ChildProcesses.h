// Real child processes for the process-launch tests: the test helper started with flags, its
// report file, and a reaper that ends whatever is left.
#pragma once

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

// Terminates the listed processes at scope end (children started as testing_support::StartedProcess
// end with their object; this is for the grandchildren they start).
class ProcessReaper {
public:
    ~ProcessReaper();
    void Add(DWORD processId) { ids_.push_back(processId); }

private:
    std::vector<DWORD> ids_;
};

} // namespace install_tests
