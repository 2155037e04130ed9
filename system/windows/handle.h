// An owned Windows handle, closed on every path. Holds either kind of "no
// handle": CreateFileW's INVALID_HANDLE_VALUE and the other calls' null.
#pragma once

#include <windows.h>

#include <utility>

namespace kalvero {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { Reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset() {
        if (HANDLE held = std::exchange(handle_, nullptr))
            CloseHandle(held);
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace kalvero
