#include "documents/rtf_writer.h"

#include <QString>

#include <cstdint>

namespace kalvero {
namespace {

// Courier New, Liberation Mono and DejaVu Sans Mono all carry the box
// drawing characters that PSPP's text tables use. 9 pt fits a 79-column
// line between 0.75 inch margins on both A4 and Letter.
constexpr const char* kHeader = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                                "{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}"
                                "\\margl1080\\margr1080\\margt1080\\margb1080"
                                "\\pard\\plain\\f0\\fs18 ";

void AppendCodeUnit(std::string& out, char16_t unit) {
    // RTF's \u takes a signed 16-bit number.
    const int value = static_cast<std::int16_t>(unit);
    out += "\\u";
    out += std::to_string(value);
    out += '?';
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
                AppendCodeUnit(out, unit);
            // Other control characters have no place in a document.
            break;
        }
    }
}

std::string TextToRtf(const std::string& text) {
    std::string out = kHeader;
    AppendRtfText(out, text);
    out += "}\n";
    return out;
}

} // namespace kalvero
