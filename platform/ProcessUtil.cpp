#include "platform/ProcessUtil.h"

#include "platform/Paths.h"
#include "platform/UniqueResource.h"
#include "platform/SystemFunction.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>

namespace orvanta {
namespace ProcessUtil {
namespace {

constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
constexpr ULONG kProcessBasicInformation = 0;

// PROCESS_BASIC_INFORMATION with pointer-sized fields: 24 bytes in a 32-bit build, 48 in a
// 64-bit one.
struct BasicInformation {
    LONG exitStatus;
    ULONG_PTR pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};
static_assert(sizeof(BasicInformation) == 6 * sizeof(void*), "unexpected PROCESS_BASIC_INFORMATION layout");

// UNICODE_STRING as it lies in the other process (same bitness as this build).
struct RemoteUnicodeString {
    USHORT length;
    USHORT maximumLength;
    ULONG_PTR buffer;
};

// The process parameters pointer in the PEB and the command line in the parameters sit at
// different offsets in the 32-bit and the 64-bit layouts; the build reads its own.
#ifdef _WIN64
constexpr size_t kPebProcessParametersOffset = 0x20;
constexpr size_t kParametersCommandLineOffset = 0x70;
#else
constexpr size_t kPebProcessParametersOffset = 0x10;
constexpr size_t kParametersCommandLineOffset = 0x40;
#endif

using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

NtQueryInformationProcessFn QueryInformationProcess()
{
    struct Lookup {
        UniqueModule module;
        NtQueryInformationProcessFn function = nullptr;
    };
    static const Lookup lookup = [] {
        Lookup result;
        result.module = LoadSystemLibrary(L"ntdll.dll");
        if (result.module)
            result.function =
                GetModuleFunction<NtQueryInformationProcessFn>(result.module.Get(), "NtQueryInformationProcess");
        return result;
    }();
    return lookup.function;
}

bool QueryBasicInformation(HANDLE process, BasicInformation& information, bool acceptWarnings)
{
    const NtQueryInformationProcessFn query = QueryInformationProcess();
    if (query == nullptr)
        return false;
    information = BasicInformation{};
    const LONG status = query(process, kProcessBasicInformation, &information, sizeof(information), nullptr);
    if (acceptWarnings)
        return (static_cast<ULONG>(status) & 0xC0000000u) != 0xC0000000u;
    return status == 0;
}

template <typename T>
bool ReadRemote(HANDLE process, ULONG_PTR address, T& value)
{
    SIZE_T read = 0;
    return ::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), &value, sizeof(value), &read) &&
           read == sizeof(value);
}

#ifndef _WIN64
// A 32-bit process cannot follow the 64-bit pointers of a native 64-bit process.
bool IsNative64BitFromWow64(HANDLE process)
{
    BOOL selfWow64 = FALSE;
    BOOL targetWow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &selfWow64) && selfWow64 &&
           ::IsWow64Process(process, &targetWow64) && !targetWow64;
}
#endif

bool ClimbReachesRoot(uint32_t candidate, uint32_t root)
{
    std::vector<uint32_t> seen;
    uint32_t current = candidate;
    for (;;) {
        const uint32_t ancestor = GetParentProcessId(current);
        if (ancestor == 0)
            return false;
        if (ancestor == root)
            return true;
        // A parent id recycled by a younger process can form a loop.
        if (std::find(seen.begin(), seen.end(), ancestor) != seen.end())
            return false;
        seen.push_back(ancestor);
        current = ancestor;
    }
}

} // namespace

std::vector<uint32_t> EnumerateProcesses(const ProcessPredicate& predicate)
{
    std::vector<uint32_t> result;
    const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return result;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        ProcessEntry candidate;
        candidate.processId = entry.th32ProcessID;
        candidate.parentProcessId = entry.th32ParentProcessID;
        candidate.exeFile = entry.szExeFile;
        const UniqueHandle process(::OpenProcess(kQueryAndRead, FALSE, entry.th32ProcessID));
        if (process)
            candidate.commandLine = GetProcessCommandLine(process.Get());
        if (predicate(candidate))
            result.push_back(candidate.processId);
    }
    return result;
}

std::vector<uint32_t> GetProcessTree(uint32_t rootProcessId)
{
    return EnumerateProcesses([rootProcessId](const ProcessEntry& entry) {
        return entry.processId == rootProcessId || ClimbReachesRoot(entry.processId, rootProcessId);
    });
}

uint32_t GetParentProcessId(uint32_t processId)
{
    const UniqueHandle process(::OpenProcess(kQueryAndRead, FALSE, processId));
    if (!process)
        return 0;
    BasicInformation information;
    if (!QueryBasicInformation(process.Get(), information, false))
        return 0;
    return static_cast<uint32_t>(information.inheritedFromUniqueProcessId);
}

std::wstring GetProcessCommandLine(HANDLE process)
{
    if (process == nullptr)
        return {};
#ifndef _WIN64
    if (IsNative64BitFromWow64(process))
        return {};
#endif
    BasicInformation information;
    if (!QueryBasicInformation(process, information, true) || information.pebBaseAddress == 0)
        return {};
    ULONG_PTR parameters = 0;
    if (!ReadRemote(process, information.pebBaseAddress + kPebProcessParametersOffset, parameters) ||
        parameters == 0)
        return {};
    RemoteUnicodeString commandLine{};
    if (!ReadRemote(process, parameters + kParametersCommandLineOffset, commandLine))
        return {};
    const size_t characters = commandLine.length / sizeof(wchar_t);
    if (characters == 0 || commandLine.buffer == 0)
        return {};
    std::wstring text(characters, L'\0');
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(commandLine.buffer), &text[0],
                             characters * sizeof(wchar_t), &read) ||
        read != characters * sizeof(wchar_t))
        return {};
    return text;
}

} // namespace ProcessUtil
} // namespace orvanta
