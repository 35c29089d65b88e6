// Switching WOW64 file-system redirection off for the calling thread, restored at scope end.
#pragma once

namespace orvanta {

// How redirection is switched off and back. The 64-bit test build never runs under WOW64: tests
// hand in a switch of their own.
struct Wow64RedirectionSwitch {
    bool (*disable)(void** oldValue);
    void (*revert)(void* oldValue);
};
// Wow64DisableWow64FsRedirection, only under WOW64.
const Wow64RedirectionSwitch& SystemWow64Switch();

class Wow64RedirectionOff {
public:
    // Switches redirection off when `wanted` is set and the chainer runs under WOW64 (32-bit
    // on 64-bit Windows); otherwise does nothing. A failed switch leaves redirection as it was.
    explicit Wow64RedirectionOff(bool wanted, const Wow64RedirectionSwitch& redirectionSwitch = SystemWow64Switch());
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

    bool IsOff() const { return revert_ != nullptr; }

private:
    void* oldValue_ = nullptr;
    void (*revert_)(void* oldValue) = nullptr;  // set while redirection is off
};


} // namespace orvanta
