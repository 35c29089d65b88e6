#include "ChildProcesses.h"

#include "TestSupport.h"

#include <atomic>
#include <cwchar>
#include <cstdlib>

namespace install_tests {

std::wstring TestHelperPath()
{
    return testing_support::EnvironmentValue(L"ORVANTA_TESTHELPER");
}

std::wstring HelperCommandLine(const std::wstring& arguments)
{
    return L"\"" + TestHelperPath() + L"\" " + arguments;
}

std::map<std::wstring, std::wstring> ReadReport(const std::wstring& path)
{
    std::map<std::wstring, std::wstring> report;
    const std::wstring text = testing_support::ReadUtf16File(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring line = text.substr(start, end - start);
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            report[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 2;
    }
    return report;
}

uint32_t ReportedNumber(const std::map<std::wstring, std::wstring>& report, const std::wstring& key)
{
    const auto found = report.find(key);
    return found == report.end() ? 0u : static_cast<uint32_t>(std::wcstoul(found->second.c_str(), nullptr, 10));
}

ReadyEvent::ReadyEvent()
{
    static std::atomic<unsigned> counter{0};
    name_ = L"OrvantaInstallTestReady-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    event_.Reset(::CreateEventW(nullptr, TRUE, FALSE, name_.c_str()));
}

bool ReadyEvent::Wait(DWORD milliseconds) const
{
    return event_ && ::WaitForSingleObject(event_.Get(), milliseconds) == WAIT_OBJECT_0;
}

ProcessReaper::~ProcessReaper()
{
    for (const DWORD id : ids_) {
        const orvanta::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process)
            continue;
        ::TerminateProcess(process.Get(), 0xDEAD);
        ::WaitForSingleObject(process.Get(), 5000);
    }
}

DWORD WaitForExitCode(HANDLE process, DWORD timeoutMs)
{
    ::WaitForSingleObject(process, timeoutMs);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process, &code);
    return code;
}

} // namespace install_tests
