// Installer return codes kept across a reboot: string values of HKCU\InterbootContext,
// written and read with the ANSI registry functions.
#pragma once

#include "platform/UniqueResource.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvanta {

struct ChainerConfig;

class InterbootStore {
public:
    explicit InterbootStore(ChainerConfig& config, std::string keyName = "InterbootContext");

    // Each returns the registry's result code (0 on success).
    LSTATUS SetNumber(const std::wstring& name, int32_t value);
    LSTATUS SetText(const std::wstring& name, const std::wstring& text);
    LSTATUS GetNumber(const std::wstring& name, int32_t& value) const;
    LSTATUS GetText(const std::wstring& name, std::wstring& text) const;
    LSTATUS DeleteValue(const std::wstring& name);

    // Enumeration of all (name, text) values; an empty list when the key is missing.
    bool BeginEnumeration();
    bool NextValue(std::wstring& name, std::wstring& text);
    void EndEnumeration();

    // Copies every stored value into the prerequisites whose RetValPropName matches.
    void CopyIntoConfig();
    // The key is deleted at the end of the run unless a reboot is outstanding.
    void KeepAfterRun() { deleteAtEnd_ = false; }
    bool DeleteAtEnd() const { return deleteAtEnd_; }
    LSTATUS DeleteKey();

private:
    std::string keyName_;
    ChainerConfig& config_;
    bool deleteAtEnd_ = true;
    UniqueKey enumerationKey_;
    DWORD enumerationIndex_ = 0;
};

} // namespace orvanta
