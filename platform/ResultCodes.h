// The result codes that cross the chainer's layers, each defined here once: the Windows
// Installer codes that installers, stages and the process exit code speak, and the download
// engine's own codes, which also reach the progress sink.
#pragma once

#include <cstdint>

namespace orvanta {

// Windows Installer's codes (winerror.h names).
constexpr uint32_t kUserExit = 1602;             // ERROR_INSTALL_USEREXIT: canceled by the user
constexpr uint32_t kInstallFailure = 1603;       // ERROR_INSTALL_FAILURE: fatal error during installation
constexpr uint32_t kAlreadyRunning = 1618;       // ERROR_INSTALL_ALREADY_RUNNING: deployment tools retry later
constexpr uint32_t kFunctionFailed = 1627;       // ERROR_FUNCTION_FAILED
constexpr uint32_t kRebootInitiated = 1641;      // ERROR_SUCCESS_REBOOT_INITIATED
constexpr uint32_t kRebootRequired = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED: success, restart needed

// The exit code of a run that ended with an error report (deployment tools read it as a fatal
// installation error).
constexpr int kCrashExitCode = static_cast<int>(kInstallFailure);
// The exit code of a second start of a package whose run is under way.
constexpr int32_t kAlreadyRunningExitCode = static_cast<int32_t>(kAlreadyRunning);

// The download engine's results (besides 0 and Windows or WinINet errors) and the stages'
// reports to the sink.
constexpr uint32_t DLERR_TARGET_NOT_ABSOLUTE = 0xE0000005;
constexpr uint32_t DLERR_CANCELED = 0xE0000008;
constexpr uint32_t DLERR_INCOMPLETE = 0xE000000F;        // data ended early, reconnecting not allowed
constexpr uint32_t DLERR_PARTIAL_TOO_LONG = 0xE0000010;  // the ".part" file is as long as the remote file
constexpr uint32_t DLERR_AUTH_REQUIRED = 0xE0000012;
constexpr uint32_t DLERR_NOT_MODIFIED = 0xE0000013;      // never reported to the sink
constexpr uint32_t DLERR_FORBIDDEN = 0xE0000016;
constexpr uint32_t DLERR_NOT_FOUND = 0xE0000018;
// Any other 4xx or 5xx status: an error page is never taken for the file.
constexpr uint32_t DLERR_ERROR_STATUS = 0xE0000019;
// A downloaded file failed its size, MD5 or SHA-256 check.
constexpr uint32_t DLERR_REJECTED = 0xE0000022;
// The announced length, or the bytes that arrived, differ from the expected size (or exceed the
// announced length).
constexpr uint32_t DLERR_SIZE_MISMATCH = 0xE0000023;
// A mandatory prerequisite could not be downloaded or installed (reported with its name).
constexpr uint32_t DLERR_MANDATORY_FAILED = 0xE0000024;
// A mandatory prerequisite's installer asked for a restart.
constexpr uint32_t DLERR_MANDATORY_NEEDS_REBOOT = 0xE0000025;
constexpr uint32_t DLERR_POST_FAILED = 0xE000002B;
// A file's Authenticode signature is missing or broken, does not cover the file's bytes, or its
// certificate chain fails a check.
constexpr uint32_t DLERR_SIGNATURE_INVALID = 0xE000002C;
// The signature holds, but no certificate of its chain has one of the pinned keys.
constexpr uint32_t DLERR_SIGNER_NOT_PINNED = 0xE000002D;

} // namespace orvanta
