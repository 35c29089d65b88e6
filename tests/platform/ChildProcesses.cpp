#include "ChildProcesses.h"

#include "TestSupport.h"
#include "platform/UniqueResource.h"

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
    for (const std::wstring& line : testing_support::LogMessages(testing_support::ReadUtf16File(path))) {
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

uint32_t ReportedNumber(const std::map<std::wstring, std::wstring>& report, const std::wstring& key)
{
    const auto found = report.find(key);
    return found == report.end() ? 0u : static_cast<uint32_t>(std::wcstoul(found->second.c_str(), nullptr, 10));
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

} // namespace install_tests
