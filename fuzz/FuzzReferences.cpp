// The syntax part of reference expansion: the pieces written out again give the value back.
#include "FuzzText.h"

#include "config/References.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta;
    const std::wstring text = FuzzUnits(data, size);
    std::wstring written;
    const std::vector<ReferencePart> parts = SplitReferences(text);
    for (size_t i = 0; i < parts.size(); ++i) {
        FUZZ_ASSERT(parts[i].kind != ReferencePart::Unterminated || i + 1 == parts.size());
        written += WrittenForm(parts[i]);
    }
    FUZZ_ASSERT(written == text);
    IsFolderPropertyName(text);
    return 0;
}
