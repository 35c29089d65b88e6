// The realm of a login challenge and the host name of a proxy setting.
#include "FuzzText.h"

#include "download/ChallengeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta;
    const std::vector<std::wstring> fields = FuzzFields(data, size, 2);
    const std::wstring realm = ParseChallengeRealm(fields[0]);
    FUZZ_ASSERT(realm.size() <= fields[0].size());
    const std::wstring host = ProxyHostName(fields[1]);
    FUZZ_ASSERT(host.size() <= fields[1].size());
    return 0;
}
