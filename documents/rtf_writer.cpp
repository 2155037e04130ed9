#include "documents/rtf_writer.h"

#include <QString>

#include <cstdint>

namespace kalvero {
namespace {

// The characters of Windows-1252 at 0x80 to 0x9f (0 where it has none);
// from 0xa0 on it is Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017d, 0,      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};

// The byte of unit in code page 1252, or 0 where it has none.
unsigned char Windows1252Byte(char16_t unit) {
    if (unit >= 0xa0 && unit <= 0xff)
        return static_cast<unsigned char>(unit);
    for (int i = 0; i < 32; ++i)
        if (kWindows1252High[i] == unit)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

void AppendHexByte(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\'";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

void AppendCharacter(std::string& out, char16_t unit) {
    if (const unsigned char byte = Windows1252Byte(unit)) {
        AppendHexByte(out, byte);
        return;
    }
    if (unit < 0xa0)
        return; // C1 control characters
    // RTF's \u takes a signed 16-bit number.
    out += "\\u";
    out += std::to_string(static_cast<std::int16_t>(unit));
    out += "\\'3f";
}

} // namespace

void AppendRtfText(std::string& out, const std::string& text, const char* lineEnd) {
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    out.reserve(out.size() + static_cast<std::size_t>(decoded.size()) + 64);
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t unit = decoded.at(i).unicode();
        switch (unit) {
        case u'\\':
            out += "\\\\";
            break;
        case u'{':
            out += "\\{";
            break;
        case u'}':
            out += "\\}";
            break;
        case u'\n':
            out += lineEnd;
            break;
        case u'\r':
            // A CR LF pair ends one line; a lone CR ends one too.
            if (i + 1 < decoded.size() && decoded.at(i + 1) == u'\n')
                break;
            out += lineEnd;
            break;
        case u'\t':
            out += "\\tab ";
            break;
        case u'\f':
            out += "\\page\n";
            break;
        default:
            if (unit >= 0x20 && unit < 0x7f)
                out += static_cast<char>(unit);
            else if (unit >= 0x80)
                AppendCharacter(out, unit);
            // Other control characters have no place in a document.
            break;
        }
    }
}

} // namespace kalvero
