// Switching WOW64 file-system redirection off for the calling thread, restored at scope end.
#pragma once

namespace orvanta {

class Wow64RedirectionOff {
public:
    // Switches redirection off when `active` is set and the system supports it; otherwise does
    // nothing. A failed switch leaves redirection as it was.
    explicit Wow64RedirectionOff(bool active);
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

    bool IsOff() const { return disabled_; }

private:
    void* oldValue_ = nullptr;
    bool disabled_ = false;
};

} // namespace orvanta
