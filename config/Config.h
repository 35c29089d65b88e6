// The configuration loaded from the INI file: general options, the ordered list of
// prerequisites with their searches, and the PREREQ_CHAINER settings. Once the run has resolved
// its folders it only reads it; what the run decides lives in its plan.
#pragma once

#include "config/IniFile.h"
#include "config/IniSchema.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

// Locates the program of a RunProgram search by the name the INI gives.
class ProgramLocator {
public:
    virtual std::wstring GetProgramPath(const std::wstring& name) const = 0;

protected:
    ~ProgramLocator() = default;
};

enum KeepFilesMode : int32_t {
    KeepFilesNone = 0,
    KeepFilesMinimum = 1,
    KeepFilesComplete = 2,
    KeepFilesPrereqs = 5,
};

// Url2 to Url9 name the mirrors of a Url source.
constexpr int kLastMirrorNumber = 9;

enum PrereqSourceKind : int32_t {
    SourceSetupFile = 0,
    SourceUrl = 1,
    SourceOpenSite = 2,
};

enum PrereqDecision : int32_t {
    AcceptableFound = 0,
    InstallFromPackage = 1,
    Download = 2,
    OpenSite = 3,
    OsNotSupported = 4,
    AlreadyDownloaded = 5,
    NotFound = 6,
    NotSelected = 7,
    Undefined = 8,
};

// The log text written for each decision.
const wchar_t* DecisionText(PrereqDecision decision);

// The exit codes a run ends with: the chainer's own (0, 1, -1, 1603) or Windows Installer's.
enum class ExitCodeStyle { Classic, Msi };

// The [GeneralOptions] keys the chainer acts on; the others are only known to the schema.
struct GeneralOptions {
    GeneralOptionSet options;
    std::wstring DownloadFolder;
    std::wstring ExtractionFolder;
    KeepFilesMode KeepFiles = KeepFilesNone;
    std::wstring DefaultProdCode;
    std::wstring Language;  // a BCP 47 tag that fixes the windows' language; empty: the user's
    // "1": each installer starts as soon as its own download is verified, while the next
    // prerequisites download; otherwise every download ends before the first install.
    bool DownloadAhead = false;
    // "msi": the run ends with the codes deployment tools know (0, 3010, 1641, 1602, 1603).
    ExitCodeStyle ExitCodes = ExitCodeStyle::Classic;
};

struct PrereqSearch {
    int32_t SearchType = 0;
    std::wstring SearchString;
    std::wstring VerMin;
    std::wstring VerMax;
    std::wstring RefContent;
    std::wstring SearchCmdLine;
};

// What one search found (filled by the searches).
struct SearchFinding {
    std::vector<std::wstring> versions;
    std::wstring value;
    bool found = false;
};

// A prerequisite as the chainer acts on it; keys it does not act on (its own VerMin and VerMax,
// BasicUiCommandLine, NoUiCommandLine, InstallCond) are not kept.
struct PrereqInfo {
    std::wstring name;
    std::wstring source;
    PrereqSourceKind sourceKind = SourceSetupFile;
    std::wstring CommandLine;
    PrereqOptionSet options;
    std::wstring MD5;
    std::wstring SHA256;  // 64 hex digits, either case; empty: not checked
    std::wstring Signer;  // SHA-256 hashes of pinned certificate keys; empty: not checked
    std::vector<std::wstring> mirrors;  // Url2..Url9 of a Url source, in order
    int64_t ExactSize = 0;  // bytes; 0: not checked
    std::wstring Folder;
    std::wstring RetValPropName;
    std::wstring ParentPrereq;
    int32_t Operator = 0;
    std::vector<PrereqSearch> searches;
    std::wstring WinNTVersions;
    std::wstring WinNT64Versions;
    std::wstring LanguageList;

};

struct CleanupSettings {
    std::wstring CleanupFiles;
    std::wstring CleanupFolders;
    std::wstring LogFile;
    std::wstring CleanupScript;
    std::wstring ResultFile;  // where the run's JSON result goes; empty: none is written
};

struct ChainerConfig {
    std::vector<PrereqInfo> prerequisites;
    GeneralOptions general;
    std::array<std::wstring, 6> stageTexts;

    // Folders resolved once per run, before the searches.
    std::wstring extractionFolder;
    std::wstring downloadFolder;  // with a trailing backslash
    // Locates the programs of RunProgram searches; null when the run has none.
    const ProgramLocator* programs = nullptr;

    // Kind 0 searching, 1 downloading, 2 installing, 3 opening a site (those four default to
    // the string table), 4 and 5 without default; any other kind gives an empty text. Built
    // with the chainer only (the string table is a Windows resource).
    std::wstring GetStageText(int kind) const;
};

// Why ReadPrerequisite(N) failed, which ends the list of prerequisites at App N: no App N in
// PREREQUISITES, no section of that name, none of SetupFile, OpenSite and Url, or a
// SearchType N without its SearchString N.
enum class PrereqReadFailure { NoEntry, NoSection, NoSource, SearchWithoutString };
struct PrereqListEnd {
    int number = 0;  // the N of the App N that ended the list
    PrereqReadFailure failure = PrereqReadFailure::NoEntry;
};

// Everything that needs no system: the general options and the numbered prerequisites as
// written (LanguageList ends with ";"). `end`, when given, tells where and why the list ended.
ChainerConfig ParseConfig(const IniFile& ini, PrereqListEnd* end = nullptr);
bool ReadPrerequisite(const IniFile& ini, int number, PrereqInfo& info, PrereqReadFailure* failure = nullptr);
bool ReadSearches(const IniSection& section, std::vector<PrereqSearch>& searches);
bool ReadCleanupSettings(const IniFile& ini, CleanupSettings& settings);
bool IsSilent(const ChainerConfig& config);
// "b" without "q": the run shows its progress.
bool ShowsBasicInterface(const ChainerConfig& config);

// ParseConfig, then the references of Url and OpenSite sources expanded and the extraction
// folder in normal form with a trailing backslash.
ChainerConfig LoadConfig(const IniFile& ini);

// The default download and extraction folder: temporary folder\DefaultProdCode\.
std::wstring DefaultPackageFolder(const ChainerConfig& config);
// A configured folder expanded, normalised and with a trailing backslash; the default when empty.
std::wstring ResolveConfiguredFolder(const ChainerConfig& config, const std::wstring& configured);

} // namespace orvanta
