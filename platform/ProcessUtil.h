// Looks at running processes: the snapshot of all processes, parent ids, command lines and the
// tree of processes a started program has spawned. Every look-up degrades to an empty result.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvanta {

struct ProcessEntry {
    uint32_t processId = 0;
    uint32_t parentProcessId = 0;  // as the snapshot reports it
    std::wstring exeFile;          // file name from the snapshot
    std::wstring commandLine;      // empty when the process could not be read
};

namespace ProcessUtil {

using ProcessPredicate = std::function<bool(const ProcessEntry&)>;

// Ids of the snapshot's processes for which the predicate says yes, in snapshot order.
std::vector<uint32_t> EnumerateProcesses(const ProcessPredicate& predicate);

// The root (when it still runs) and every living process whose ancestors reach the root.
std::vector<uint32_t> GetProcessTree(uint32_t rootProcessId);

// The id of the process that created `processId`; 0 when unknown.
uint32_t GetParentProcessId(uint32_t processId);

// The command line from the process's parameters; needs PROCESS_QUERY_INFORMATION |
// PROCESS_VM_READ. Empty when it cannot be read.
std::wstring GetProcessCommandLine(HANDLE process);

} // namespace ProcessUtil
} // namespace orvanta
