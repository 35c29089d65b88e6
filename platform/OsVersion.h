// The running Windows version, read from the registry once per process.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

struct OsVersionInfo {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t servicePack = 0;
    std::wstring servicePackText;
    uint16_t productType = 1;  // 1 workstation, 2 domain controller, 3 server
    uint16_t suiteMask = 0;
    bool server = false;
    bool wow64 = false;        // the chainer runs on 64-bit Windows
    uint32_t releaseId = 1507;
};

// The process-wide record, filled on first use.
const OsVersionInfo& GetOsVersionInfo();
// Reads the record from the registry now (uncached).
OsVersionInfo ReadOsVersionInfo();

// True when (major, minor, servicePack, build) is at least (10, 0, 0, 0).
bool IsWindows10OrLater(const OsVersionInfo& info);
// The same for the running system.
bool IsWindows10OrLater();

} // namespace orvanta
