// Owners for the COM resources the automation engine holds: an interface
// pointer (ComPtr), a BSTR (Bstr), and COM itself on the calling thread
// (UseComOnThisThread). Each releases what it holds on every path, so the
// engine has no AddRef/Release or SysFreeString of its own.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace kalvero::automation {

template <class Interface> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Where a call that hands out a new reference stores it; the reference
    // held before is released first.
    Interface** Receive() {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    void Reset() {
        if (Interface* held = std::exchange(pointer_, nullptr))
            held->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// A BSTR made from UTF-8 text; throws std::invalid_argument for text that is
// not UTF-8 and std::bad_alloc when no string can be had.
class Bstr {
public:
    explicit Bstr(const std::string& utf8);
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

// Initialises COM for the calling thread the first time that thread asks
// (multithreaded apartment: calls block without a message loop) and
// uninitialises it when the thread ends. A thread already in an apartment of
// its own keeps it. Returns the failure of CoInitializeEx, S_OK otherwise.
HRESULT UseComOnThisThread();

} // namespace kalvero::automation
