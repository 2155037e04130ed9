#include "engine/automation/com_support.h"

#include "system/windows/wide_text.h"

#include <new>

namespace kalvero::automation {

Bstr::Bstr(const std::string& utf8) {
    const std::wstring wide = WideFromUtf8(utf8);
    text_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!text_)
        throw std::bad_alloc();
}

namespace {

class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {
        // A thread that some other part already put into a single-threaded
        // apartment stays there; COM works in it all the same.
        if (result_ == RPC_E_CHANGED_MODE)
            result_ = S_OK;
        else
            initialised_ = SUCCEEDED(result_);
    }
    ~ComApartment() {
        if (initialised_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
    bool initialised_ = false;
};

} // namespace

HRESULT UseComOnThisThread() {
    thread_local ComApartment apartment;
    return apartment.Result();
}

} // namespace kalvero::automation
