// A package folder as an installation ships it: the chainer as setup.exe beside its setup.ini
// (UTF-16 with byte-order mark, CR LF) and whatever setup files a test adds.
#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

namespace testing_support {

// An INI section: its "[Name]" header, then its key=value lines.
using IniSection = std::vector<std::wstring>;

class ChainerPackage {
public:
    // The chainer comes from the path in the environment variable `chainerVariable`.
    explicit ChainerPackage(const std::wstring& exeName = L"setup.exe",
                            const wchar_t* chainerVariable = L"ORVANTA_CHAINER");

    const std::wstring& Folder() const { return folder_.Path(); }
    std::wstring PathOf(const std::wstring& name) const { return folder_ / name; }
    std::wstring ExePath() const { return folder_ / exeName_; }
    std::wstring IniPath() const;
    // The log file path tests put into PREREQ_CHAINER.
    std::wstring LogPath() const { return folder_ / L"chainer.log"; }

    // Writes the INI (lines joined with CR LF).
    void WriteIni(const std::vector<std::wstring>& lines) const;
    // [GeneralOptions] with the `general` lines, [PREREQUISITES] listing the sections in order,
    // the sections, and [PREREQ_CHAINER] with LogFile=LogPath().
    void WritePrerequisites(const std::vector<std::wstring>& general, const std::vector<IniSection>& sections) const;
    // Adds `line` (a key of [PREREQ_CHAINER], the last section WritePrerequisites writes).
    void AppendToIni(const std::wstring& line) const;
    // Copies the test helper into the package under `name`.
    void AddTestHelper(const std::wstring& name) const;
    // Copies the setup program `name` the build made for the tests (runtime.msi, tool-setup.exe)
    // into the package.
    void AddBuiltPackage(const std::wstring& name) const;

    // Starts the chainer from another working folder and waits for it.
    ProcessResult Run(DWORD timeoutMs = 120000) const;
    // The same; the exit code, or kNotFinished when the chainer had to be ended.
    DWORD RunForExitCode() const;
    static constexpr DWORD kNotFinished = 0xDEADDEAD;
    std::vector<std::wstring> LogLines() const { return LogMessages(ReadUtf16File(LogPath())); }

private:
    TempDir folder_;
    TempDir otherWorkingFolder_;
    std::wstring exeName_;
};

} // namespace testing_support
