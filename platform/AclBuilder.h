// Builds a security descriptor whose DACL grants (or revokes) GENERIC_ALL to a list of trustees.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

namespace orvanta {

class AclBuilder {
public:
    AclBuilder() = default;
    ~AclBuilder();
    AclBuilder(const AclBuilder&) = delete;
    AclBuilder& operator=(const AclBuilder&) = delete;

    // 0 = set access (the default), 1 = revoke access; applies to entries added afterwards.
    void SetMode(int mode) { mode_ = mode; }
    void SetInheritance(DWORD flags) { inheritance_ = flags; }

    // Adds an entry for an account name, or a SID string when trusteeIsSidString. On failure
    // the error is kept (LastError) and no entry is added.
    bool AddEntry(const std::wstring& trustee, bool trusteeIsSidString);

    // The descriptor (owned by the builder), merged into `base`'s DACL when given; null on
    // failure with the error kept.
    PSECURITY_DESCRIPTOR Build(PSECURITY_DESCRIPTOR base = nullptr);

    DWORD LastError() const { return lastError_; }

private:
    int mode_ = 0;
    DWORD inheritance_ = 0;
    DWORD lastError_ = 0;
    std::vector<std::vector<BYTE>> sids_;
    std::vector<EXPLICIT_ACCESSW> entries_;
    PACL acl_ = nullptr;
    SECURITY_DESCRIPTOR descriptor_{};
};

} // namespace orvanta
