// The parts of `check`, each adding its findings to the collector. CheckIni runs them in the
// order declared here.
#pragma once

#include "FindingCollector.h"

#include "config/Config.h"

namespace orvanta_ini {

// The file's form (CheckForm.cpp). The first two return false when the chainer reads the file
// as something else altogether, and nothing more is worth checking.
bool CheckEncoding(FindingCollector& findings);
bool CheckLineEnds(FindingCollector& findings);
void CheckIgnoredLines(FindingCollector& findings);
void CheckDuplicates(FindingCollector& findings);

// The list of prerequisites and the sections and keys (CheckLayout.cpp).
void CheckPrerequisiteList(FindingCollector& findings);
void CheckSections(FindingCollector& findings);

// The values (CheckValues.cpp).
void CheckGeneralOptions(FindingCollector& findings);
void CheckPrerequisite(FindingCollector& findings, const orvanta::PrereqInfo& info);
void CheckChainerOptions(FindingCollector& findings);

// A prerequisite's mirrors and the keys that verify its download (CheckDownload.cpp).
void CheckDownload(FindingCollector& findings, const orvanta::IniSection& section, const orvanta::PrereqInfo& info);

// The relations between prerequisites (CheckParents.cpp).
void CheckParents(FindingCollector& findings);

} // namespace orvanta_ini
