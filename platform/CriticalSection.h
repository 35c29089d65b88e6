// A critical section and the scoped lock that holds it: an exception thrown while the lock is
// held (an allocation that fails while a log line is built) still releases it.
#pragma once

#include <windows.h>

namespace orvanta {

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept { ::EnterCriticalSection(&section_); }
    bool TryEnter() noexcept { return ::TryEnterCriticalSection(&section_) != FALSE; }
    void Leave() noexcept { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) noexcept : section_(section) { section_.Enter(); }
    ~CriticalSectionLock() { section_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& section_;
};

// Takes the section if it comes free within `waitMs`: a path that ends the process must not wait
// for ever on a lock that a faulted thread still holds. A section that was not taken is not left.
class BoundedCriticalSectionLock {
public:
    BoundedCriticalSectionLock(CriticalSection& section, DWORD waitMs) noexcept : section_(section)
    {
        for (DWORD waited = 0; !(held_ = section_.TryEnter()) && waited < waitMs; waited += 10)
            ::Sleep(10);
    }
    ~BoundedCriticalSectionLock()
    {
        if (held_)
            section_.Leave();
    }
    BoundedCriticalSectionLock(const BoundedCriticalSectionLock&) = delete;
    BoundedCriticalSectionLock& operator=(const BoundedCriticalSectionLock&) = delete;

    bool Held() const { return held_; }

private:
    CriticalSection& section_;
    bool held_ = false;
};

} // namespace orvanta
