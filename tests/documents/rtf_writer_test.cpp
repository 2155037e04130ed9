// The RTF of text output: special characters, line ends and every non-ASCII
// character escaped so that the document stays plain ASCII.
#include "documents/rtf_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvero {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The body of the document, after the header's font settings.
std::string Body(const std::string& text) {
    const std::string rtf = TextToRtf(text);
    const std::string marker = "\\fs18 ";
    const std::size_t start = rtf.find(marker);
    EXPECT_NE(start, std::string::npos);
    EXPECT_THAT(rtf, EndsWith("}\n"));
    return rtf.substr(start + marker.size(), rtf.size() - start - marker.size() - 2);
}

TEST(RtfWriter, DocumentHasAFixedPitchFontTable) {
    const std::string rtf = TextToRtf("x");
    EXPECT_THAT(rtf, StartsWith("{\\rtf1\\ansi"));
    EXPECT_THAT(rtf, HasSubstr("{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}"));
}

TEST(RtfWriter, EscapesAsATable) {
    const struct {
        const char* text;
        const char* body;
    } cases[] = {
        {"plain", "plain"},
        {"a\\b{c}d", "a\\\\b\\{c\\}d"},                     // RTF's own specials
        {"one\ntwo\n", "one\\par\ntwo\\par\n"},             // one paragraph per line
        {"one\r\ntwo\rthree", "one\\par\ntwo\\par\nthree"}, // CR LF is one line end
        {"a\tb", "a\\tab b"},
        {"page\fnext", "page\\page\nnext"},
        {"bell\x07", "bell"},                        // other controls dropped
        {"Z\xC3\xBCrich", "Z\\u252?rich"},           // U+00FC
        {"\xE2\x94\x82", "\\u9474?"},                // U+2502 box drawing
        {"\xEF\xBF\xBD", "\\u-3?"},                  // U+FFFD: signed 16 bits
        {"\xF0\x9F\x98\x80", "\\u-10179?\\u-8704?"}, // U+1F600: surrogate pair
        {"\xFF", "\\u-3?"},                          // invalid UTF-8 -> U+FFFD
        {"\x7f", ""},                                // DEL is a control character
    };
    for (const auto& c : cases)
        EXPECT_EQ(Body(c.text), c.body) << "for " << c.text;
}

} // namespace
} // namespace kalvero
