// The searches that tell whether an acceptable version of a prerequisite is installed, and
// how their findings combine into one answer.
#pragma once

#include "config/Config.h"

#include <cstdint>
#include <vector>

namespace orvanta {

// The number a search has in the configuration (SearchType).
enum class SearchType : int32_t {
    FileVersion = 0,
    RegistryKeyNames = 1,
    RegistryValueVersion = 2,
    MsiProductVersion = 3,
    MsiUpgradeCodeVersions = 4,
    RegistryKeyExists = 5,
    RegistryKeyAbsent = 6,
    RegistryValueExists = 7,
    RegistryValueAbsent = 8,
    RegistryValueContent = 9,
    RunProgram = 10,
    MsiComponentInstalled = 11,
    RegistryValueNames = 12,
    AppxPackageVersion = 13,
    FolderNameVersions = 14,
};

// Runs the searches in order and combines their answers by `op`: 0 all must hold, 1 one
// suffices, any other value never holds. Stops at the first search that settles the answer;
// `findings` receives one entry per search that ran. `programs` locates the program of a
// RunProgram search (null: no context, the program path is empty). Never fails as a whole.
bool EvaluateSearches(const std::vector<PrereqSearch>& searches, std::vector<SearchFinding>& findings, int32_t op,
                      bool use64, const ProgramLocator* programs);

// Fills one finding for every type but RunProgram (which leaves it empty).
void RunSearch(const PrereqSearch& search, bool use64, SearchFinding& finding);

// Fills the finding of a RunProgram search: found when the program ran and exited with 0.
void RunProgramSearch(const PrereqSearch& search, const ProgramLocator* programs, SearchFinding& finding);

// The answer of one search from its finding: the version range test, the found flag or the
// reference test, by type; true for an unknown type.
bool SearchAnswer(const PrereqSearch& search, const SearchFinding& finding);

} // namespace orvanta
