#include "documents/draft_picture.h"

#include "documents/html_reader.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace kalvero {
namespace {

constexpr int kPixelTwips = 15; // twips per pixel of a chart (96 dpi)

int BigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return static_cast<int>(std::min<std::uint32_t>(value, 1u << 24));
}

} // namespace

void AppendPicture(std::string& out, const std::string& path, int textWidth) {
    std::ifstream file(path, std::ios::binary);
    const std::string png{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    static const std::string kSignature = "\x89PNG\r\n\x1a\n";
    static const std::string kEnd = std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    if (png.size() < 33 || png.compare(0, 8, kSignature) != 0 || png.compare(12, 4, "IHDR") != 0)
        FailDraft("the chart " + path + " is not a PNG picture");
    if (png.compare(png.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
        FailDraft("the chart " + path + " is incomplete");
    const int width = std::max(1, BigEndian(png, 16));
    const int height = std::max(1, BigEndian(png, 20));
    long long goalWidth = static_cast<long long>(width) * kPixelTwips;
    long long goalHeight = static_cast<long long>(height) * kPixelTwips;
    if (goalWidth > textWidth) {
        goalHeight = goalHeight * textWidth / goalWidth;
        goalWidth = textWidth;
    }
    out += "{\\pict\\pngblip\\picw" + std::to_string(width) + "\\pich" + std::to_string(height) +
           "\\picwgoal" + std::to_string(goalWidth) + "\\pichgoal" + std::to_string(goalHeight) +
           "\n";
    static const char kHex[] = "0123456789abcdef";
    // Two hex digits a byte, a line end every 64 bytes.
    std::size_t at = out.size();
    out.resize(at + png.size() * 2 + png.size() / 64);
    for (std::size_t i = 0; i < png.size(); ++i) {
        const auto byte = static_cast<unsigned char>(png[i]);
        out[at++] = kHex[byte >> 4];
        out[at++] = kHex[byte & 15];
        if (i % 64 == 63)
            out[at++] = '\n';
    }
    out += "}";
}

} // namespace kalvero
