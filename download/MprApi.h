// MPR (network connections) through a function table loaded at run time from the system folder
// (see platform/SystemLibrary.h): the chainer does not import it.
#pragma once

#include <windows.h>
#include <winnetwk.h>

namespace orvanta {
namespace mpr {

// As the system function; ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND when MPR or the function
// is missing.
DWORD WNetAddConnection2W(LPNETRESOURCEW resource, LPCWSTR password, LPCWSTR userName, DWORD flags);

} // namespace mpr
} // namespace orvanta
