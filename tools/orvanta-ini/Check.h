// `check`: the mistakes in an INI file that make the chainer read something else than its
// author meant. Every finding comes from the chainer's own reader and model (IniTextFromBytes,
// IniFile, ParseConfig, ParseVersion, SplitReferences) applied to the file's bytes.
#pragma once

#include "Findings.h"

#include <string>
#include <vector>

namespace orvanta_ini {

// The findings in line order.
std::vector<Finding> CheckIni(const std::string& bytes);

} // namespace orvanta_ini
