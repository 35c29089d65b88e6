// Switching WOW64 file-system redirection off for the calling thread, restored at scope end.
#pragma once

namespace orvanta {

class Wow64RedirectionOff {
public:
    // Switches redirection off when `wanted` is set and the chainer runs under WOW64 (32-bit
    // on 64-bit Windows); otherwise does nothing. A failed switch leaves redirection as it was.
    explicit Wow64RedirectionOff(bool wanted);
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

    bool IsOff() const { return revert_ != nullptr; }

private:
    void* oldValue_ = nullptr;
    void (*revert_)(void* oldValue) = nullptr;  // set while redirection is off
};

// The 64-bit test build never runs under WOW64: tests put a switch of their own in place of the
// system's, which every guard that is wanted then uses. Null restores the system's switch.
struct Wow64RedirectionSwitch {
    bool (*disable)(void** oldValue);
    void (*revert)(void* oldValue);
};
void SetWow64RedirectionSwitchForTesting(const Wow64RedirectionSwitch* testSwitch);

} // namespace orvanta
