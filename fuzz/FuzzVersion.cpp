// Version parsing, formatting, comparison, the range test and the reference operators.
#include "FuzzText.h"

#include "config/VersionValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta;
    const std::vector<std::wstring> fields = FuzzFields(data, size, 4);
    VersionValue a;
    VersionValue b;
    const bool parsedA = ParseVersion(fields[0], a);
    ParseVersion(fields[1], b);
    FUZZ_ASSERT(parsedA || a.IsEmpty());
    FUZZ_ASSERT(a.Compare(b) == -b.Compare(a));
    FUZZ_ASSERT(a.Compare(a) == 0);
    // The text form reads back as the same version up to its dropped trailing 0 and 65535 parts.
    VersionValue again;
    ParseVersion(FormatVersion(a), again);
    for (size_t i = 0; i < 2; ++i)
        FUZZ_ASSERT(again.components[i] == a.components[i] || a.components[i] == 65535u || a.IsEmpty());
    VersionInRange(fields[0], fields[1], {fields[2], fields[3]});
    ReferenceTest(fields[2], fields[3]);
    return 0;
}
