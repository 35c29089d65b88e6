// The names `plan` and `check` give the values of SearchType, spelt as the searches call them.
#pragma once

namespace orvanta_ini {

// The name of a SearchType value, or null outside the known range.
const char* SearchTypeName(int type);
// True for search types whose SearchString is expanded for references before use.
bool SearchStringIsExpanded(int type);

} // namespace orvanta_ini
