#include "system/windows/wide_text.h"

#include <cstdio>
#include <stdexcept>

namespace kalvero {

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length == 0)
        throw std::invalid_argument("The name " + utf8 + " is not UTF-8 text");
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {

// The message table knows Win32 errors by their own number; an HRESULT that
// wraps one (0x8007xxxx) is looked up by that number.
DWORD MessageId(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32)
        return HRESULT_CODE(hr);
    return static_cast<DWORD>(hr);
}

std::string MessageFor(DWORD id) {
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length =
        FormatMessageW(flags, nullptr, id, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return Utf8FromWide(text);
}

} // namespace

std::string SystemText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const std::string text = MessageFor(MessageId(hr));
    return text.empty() ? std::string(code) : text + " (" + code + ")";
}

std::string Win32Reason(DWORD error) {
    const std::string text = MessageFor(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}

} // namespace kalvero
