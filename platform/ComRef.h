// Owner of one COM or Windows Runtime interface reference.
#pragma once

namespace orvanta {

// Owns one COM reference.
template <typename T>
class ComRef {
public:
    ComRef() noexcept = default;
    explicit ComRef(T* pointer) noexcept : pointer_(pointer) {}
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    T** Put() noexcept
    {
        Reset();
        return &pointer_;
    }
    void Reset() noexcept
    {
        if (pointer_ != nullptr)
            pointer_->Release();
        pointer_ = nullptr;
    }
    T* Detach() noexcept
    {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }

private:
    T* pointer_ = nullptr;
};

} // namespace orvanta
