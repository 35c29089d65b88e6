// The INI reader and the pure configuration loading, from the file's bytes on.
#include "FuzzText.h"

#include "config/Config.h"
#include "config/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace orvanta;
    IniFile ini;
    ini.Parse(IniTextFromBytes(std::string(reinterpret_cast<const char*>(data), size)));
    int lastLine = 0;
    for (const IniSection& section : ini.Sections()) {
        FUZZ_ASSERT(section.line > lastLine);
        lastLine = section.line;
        for (const IniPair& pair : section.pairs) {
            FUZZ_ASSERT(pair.line > lastLine);
            lastLine = pair.line;
        }
    }
    PrereqListEnd end;
    const ChainerConfig config = ParseConfig(ini, &end);
    FUZZ_ASSERT(end.number == static_cast<int>(config.prerequisites.size()) + 1);
    for (const PrereqInfo& info : config.prerequisites)
        FUZZ_ASSERT(info.LanguageList.empty() || info.LanguageList.back() == L';');
    CleanupSettings cleanup;
    ReadCleanupSettings(ini, cleanup);
    return 0;
}
