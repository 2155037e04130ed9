// Text at the Windows boundary: UTF-8 inside the program, UTF-16 for the
// system, and the system's own words for an error.
#pragma once

#include <windows.h>

#include <string>

namespace kalvero {

// Throws std::invalid_argument when utf8 is not valid UTF-8 ("The name ... is
// not UTF-8 text").
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);

// The system's text for hr in UTF-8, without its line end, followed by the
// code: "Access is denied. (0x80070005)". Just the code when the system has
// no text for it.
std::string SystemText(HRESULT hr);

// The system's text for a Win32 error (GetLastError), as a message ends in it:
// "Access is denied."; "error 1234" when the system has no text for it.
std::string Win32Reason(DWORD error);

} // namespace kalvero
