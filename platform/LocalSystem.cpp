#include "platform/LocalSystem.h"

#include "platform/UniqueResource.h"

#include <vector>

namespace orvanta {
namespace {

struct SidTraits {
    static PSID Invalid() noexcept { return nullptr; }
    static void Close(PSID sid) noexcept { ::FreeSid(sid); }
};
using UniqueSid = UniqueResource<PSID, SidTraits>;

bool TokenIsLocalSystem()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return false;
    DWORD size = 0;
    if (::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid system;
    if (!::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, system.Put()))
        return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    return ::EqualSid(user->User.Sid, system.Get()) == TRUE;
}

} // namespace

bool IsLocalSystemAccount()
{
    return TokenIsLocalSystem();
}

} // namespace orvanta
