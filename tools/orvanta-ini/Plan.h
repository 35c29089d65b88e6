// `plan`: what the chainer reads from an INI file, prerequisite by prerequisite in its order,
// and where and why the list ends.
#pragma once

#include <string>

namespace orvanta_ini {

// UTF-8 text, one block per prerequisite.
std::string PlanText(const std::string& bytes);

} // namespace orvanta_ini
