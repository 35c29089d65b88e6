// Installer return codes kept across a reboot: string values of HKCU\InterbootContext,
// written and read with the ANSI registry functions.
#pragma once

#include "platform/UniqueResource.h"

#include <cstdint>
#include <string>

namespace orvanta {

class InterbootStore {
public:
    explicit InterbootStore(std::string keyName = "InterbootContext");

    // Each returns the registry's result code (0 on success).
    LSTATUS SetNumber(const std::wstring& name, int32_t value);
    LSTATUS SetText(const std::wstring& name, const std::wstring& text);
    LSTATUS GetNumber(const std::wstring& name, int32_t& value) const;
    LSTATUS GetText(const std::wstring& name, std::wstring& text) const;
    LSTATUS DeleteValue(const std::wstring& name);

    // The key is deleted at the end of the run unless a reboot is outstanding.
    void KeepAfterRun() { deleteAtEnd_ = false; }
    bool DeleteAtEnd() const { return deleteAtEnd_; }
    LSTATUS DeleteKey();

private:
    std::string keyName_;
    bool deleteAtEnd_ = true;
};

} // namespace orvanta
