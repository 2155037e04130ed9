#include "batch/message_text.h"

namespace kalvero {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::string ShortenMiddle(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t head = limit / 2;
    std::size_t tail = text.size() - limit / 2;
    while (head > 0 && IsContinuationByte(text[head]))
        --head;
    while (tail < text.size() && IsContinuationByte(text[tail]))
        ++tail;
    return text.substr(0, head) + " [... " + std::to_string(tail - head) + " bytes left out ...] " +
           text.substr(tail);
}

} // namespace kalvero
