// File names and target paths from URLs, file: URLs, and the URL and path checks of the
// download engine that need no system.
#include "FuzzText.h"

#include "download/DownloadNames.h"
#include "download/UrlText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta;
    const std::vector<std::wstring> fields = FuzzFields(data, size, 3);
    const std::wstring& url = fields[0];
    const std::wstring name = FileNameFromUrl(url);
    FUZZ_ASSERT(name.size() <= 41);
    FUZZ_ASSERT(name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos);
    const std::wstring target = TargetPathFor(fields[1], url, fields[2]);
    FUZZ_ASSERT(target.size() >= fields[1].size());
    LocalPathOfFileUrl(url);
    const std::wstring shown = UrlWithoutCredentials(url);
    FUZZ_ASSERT(shown.size() <= url.size());
    const std::wstring root = ShareRootOf(fields[1]);
    FUZZ_ASSERT(root.empty() || fields[1].compare(0, root.size(), root) == 0);
    IsAbsoluteTargetPath(fields[1]);
    return 0;
}
