// Owner of one Windows Runtime string. The string functions come from combase, looked up at
// run time (it does not exist before Windows 8).
#pragma once

#include <windows.h>
#include <hstring.h>

#include <string>

namespace orvanta {

// Owns one HSTRING (null is the empty string).
class UniqueHString {
public:
    UniqueHString() noexcept = default;
    ~UniqueHString();
    UniqueHString(const UniqueHString&) = delete;
    UniqueHString& operator=(const UniqueHString&) = delete;

    // False when combase is missing or the string cannot be made.
    bool Create(const std::wstring& text);
    HSTRING Get() const noexcept { return value_; }
    HSTRING* Put() noexcept;
    std::wstring Text() const;

private:
    HSTRING value_ = nullptr;
};

// True when combase provides the string functions.
bool WinRtStringsAvailable();

} // namespace orvanta
