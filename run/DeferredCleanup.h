// What the package asked to remove when the chainer ends (the PREREQ_CHAINER section): listed
// files and the INI file, deleted by the chainer itself, and the chainer, its folders and the
// cleanup script, handed to the package's PowerShell script. Nothing outside CleanupFolders is
// deleted except the INI file, the chainer and the script, which the package names itself.
#pragma once

#include "run/PowerShellCleanup.h"

#include <string>
#include <vector>

namespace orvanta {

class IniFile;

class DeferredCleanup {
public:
    // Reads PREREQ_CHAINER; without that section nothing will be deleted or handed on.
    void SetUp(const IniFile& ini, const std::wstring& modulePath, const std::wstring& iniPath);

    // Deletes the files, removes the folders they leave empty inside the cleanup folder, and
    // prunes the hand-off list of folders that still hold other entries.
    void DeleteCleanupFiles();
    // Starts the script (see PowerShellCleanup::Run).
    bool RunPowerShellCleanup() const { return powerShell_.Run(); }

    const std::vector<std::wstring>& FilesToDelete() const { return filesToDelete_; }
    const std::vector<std::wstring>& HandOffPaths() const { return powerShell_.paths; }
    const std::vector<std::wstring>& RefusedEntries() const { return refused_; }

private:
    std::vector<std::wstring> filesToDelete_;
    PowerShellCleanup powerShell_;
    std::wstring cleanupRoot_;
    std::vector<std::wstring> refused_;
};

} // namespace orvanta
