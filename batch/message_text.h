// Keeping messages readable: a file name or a reason of any length is
// shortened in its middle, where the cut is shown, so that no message box
// grows beyond what a user can read or the window system can lay out fast.
#pragma once

#include <cstddef>
#include <string>

namespace kalvero {

inline constexpr std::size_t kShownNameLength = 300;
inline constexpr std::size_t kShownReasonLength = 1200;

// text unchanged when it has at most limit bytes; otherwise its start and
// end around " [... N bytes left out ...] ", never cutting a UTF-8 character.
std::string ShortenMiddle(const std::string& text, std::size_t limit);

inline std::string ShortenName(const std::string& name) {
    return ShortenMiddle(name, kShownNameLength);
}

} // namespace kalvero
