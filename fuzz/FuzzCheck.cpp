// `orvanta-ini` as a whole: check and plan on any bytes, and fmt that is idempotent and gives
// a file that check finds in the chainer's encoding.
#include "FuzzText.h"

#include "Check.h"
#include "Fmt.h"
#include "Plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta_ini;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const Finding& finding : CheckIni(bytes))
        FUZZ_ASSERT(finding.line >= 1 && !finding.message.empty());
    PlanText(bytes);
    std::string formatted;
    std::string error;
    if (FormatIni(bytes, formatted, error)) {
        std::string again;
        FUZZ_ASSERT(FormatIni(formatted, again, error) && again == formatted);
        // The encoding and line-end findings are the only ones whose text starts so; other
        // messages may quote the file's own text anywhere.
        for (const Finding& finding : CheckIni(formatted))
            FUZZ_ASSERT(finding.message.rfind("the file is ", 0) != 0 && finding.message.rfind("LF-only", 0) != 0 &&
                        finding.message.rfind("CR-only", 0) != 0);
    }
    return 0;
}
