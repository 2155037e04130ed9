// Text at the Windows boundary: UTF-8 inside the program, UTF-16 for the
// system, and the system's own words for an HRESULT.
#pragma once

#include <windows.h>

#include <string>

namespace kalvero::automation {

// Throws std::invalid_argument when utf8 is not valid UTF-8.
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);

// The system's text for hr in UTF-8, without its line end, followed by the
// code: "Access is denied. (0x80070005)". Just the code when the system has
// no text for it.
std::string SystemText(HRESULT hr);

} // namespace kalvero::automation
