#include "platform/AclBuilder.h"

#include "platform/UniqueResource.h"
#include "platform/SystemFunction.h"

#include <sddl.h>

namespace orvanta {
namespace {

using ConvertStringSidToSidFn = BOOL(WINAPI*)(LPCWSTR, PSID*);

ConvertStringSidToSidFn LookUpConvertStringSid()
{
    static const ConvertStringSidToSidFn function =
        GetLoadedFunction<ConvertStringSidToSidFn>(L"Advapi32.dll", "ConvertStringSidToSidW");
    return function;
}

bool SidFromString(const std::wstring& text, std::vector<BYTE>& sid, DWORD& error)
{
    const ConvertStringSidToSidFn convert = LookUpConvertStringSid();
    if (convert == nullptr) {
        error = ERROR_PROC_NOT_FOUND;
        return false;
    }
    PSID converted = nullptr;
    if (!convert(text.c_str(), &converted)) {
        error = ::GetLastError();
        return false;
    }
    UniqueLocal owner(converted);
    const BYTE* bytes = static_cast<const BYTE*>(converted);
    sid.assign(bytes, bytes + ::GetLengthSid(converted));
    return true;
}

bool SidFromName(const std::wstring& name, std::vector<BYTE>& sid, DWORD& error)
{
    DWORD sidSize = MAX_PATH;
    DWORD domainSize = MAX_PATH;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sid.assign(sidSize, 0);
        std::wstring domain(domainSize, L'\0');
        SID_NAME_USE use;
        if (::LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, &domain[0], &domainSize, &use)) {
            sid.resize(::GetLengthSid(sid.data()));
            return true;
        }
        error = ::GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return false;
    }
    return false;
}

} // namespace

AclBuilder::~AclBuilder()
{
    if (acl_ != nullptr)
        ::LocalFree(acl_);
}

bool AclBuilder::AddEntry(const std::wstring& trustee, bool trusteeIsSidString)
{
    std::vector<BYTE> sid;
    DWORD error = 0;
    if (!(trusteeIsSidString ? SidFromString(trustee, sid, error) : SidFromName(trustee, sid, error))) {
        lastError_ = error;
        return false;
    }
    sids_.push_back(std::move(sid));

    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = mode_ == 1 ? REVOKE_ACCESS : SET_ACCESS;
    entry.grfInheritance = inheritance_;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entries_.push_back(entry);
    // Entries point into sids_, whose buffers may have moved: refresh all of them.
    for (size_t i = 0; i < entries_.size(); ++i)
        entries_[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids_[i].data());
    return true;
}

PSECURITY_DESCRIPTOR AclBuilder::Build(PSECURITY_DESCRIPTOR base)
{
    PACL baseAcl = nullptr;
    if (base != nullptr) {
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        if (!::GetSecurityDescriptorDacl(base, &present, &baseAcl, &defaulted)) {
            lastError_ = ::GetLastError();
            return nullptr;
        }
    }
    if (acl_ != nullptr) {
        ::LocalFree(acl_);
        acl_ = nullptr;
    }
    const DWORD result = ::SetEntriesInAclW(static_cast<ULONG>(entries_.size()), entries_.data(), baseAcl, &acl_);
    if (result != ERROR_SUCCESS) {
        lastError_ = result;
        return nullptr;
    }
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl_, FALSE)) {
        lastError_ = ::GetLastError();
        return nullptr;
    }
    return &descriptor_;
}

} // namespace orvanta
