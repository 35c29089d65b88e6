// The process-wide UTF-16 log file. Logging is off until the configuration names a file;
// every call site tests LogEnabled before it builds a message.
#pragma once

#include "platform/CriticalSection.h"
#include "platform/UniqueResource.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace orvanta {

extern std::atomic<bool> LogEnabled;

class Logger {
public:
    static Logger& Instance();

    // Remembers the path; the file is opened by the next Log.
    void SetLogFile(const std::wstring& path);
    // Writes one time-stamped line with one write, left to the system's cache: a process that
    // dies keeps it, a power loss may not. Failures only lose the line.
    void Log(const std::wstring& message);
    // Asks the system to put what was written on the disk (a flush costs milliseconds: only
    // before a step that might end in a restart, a crash or a power loss).
    void Flush();
    // Log and Flush, waiting at most timeoutMs for the lock; false when the line was not written
    // because another thread kept the lock (one that died holding it, for an error report).
    bool LogAndFlushWithin(const std::wstring& message, DWORD timeoutMs);
    // The footer line, flushed; written at process end when logging is on.
    void WriteFooter();

    // For tests: closes the file and forgets the path, as at process start.
    void ResetForTesting();
    std::wstring CurrentPath();

    ~Logger();

private:
    Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void WriteLine(const std::wstring& message);
    void EnsureOpen();
    bool OpenPath();
    void WriteBytes(const void* bytes, size_t size);
    void WriteHeader(bool withByteOrderMark);
    void FlushFile();
    void CloseFile();

    CriticalSection lock_;
    std::wstring path_;
    const std::wstring banner_;
    UniqueFile file_;
};

// Log(message) when logging is on.
void LogLine(const std::wstring& message);
// Flush() when logging is on: before the chainer starts another program or restarts.
void FlushLog();

// The file name used by the fallback candidates: the module's name with its extension
// replaced by "LOG" (setup.exe gives setup.LOG).
std::wstring LogFileNameFor(const std::wstring& modulePath);
// The shared log folder "ORVANTA_LOGS" below `parent`, created with full access for Everyone
// when missing; empty when it cannot be created or is a link (a reparse point).
std::wstring SharedLogFolder(const std::wstring& parent);
// Fallback candidate `attempt` (0, 1, 2), or empty when it cannot be built.
std::wstring LogFallbackCandidate(int attempt);

// "OS Version: ..." and "CPU: ..." header lines without their line breaks.
std::wstring OsVersionHeaderLine();
std::wstring CpuHeaderLine();

} // namespace orvanta
