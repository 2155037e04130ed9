// Text in RTF as word processors write it: RTF's specials and line ends
// escaped, characters of code page 1252 as \'hh and every other character as
// \uN with a "?" fallback (\'3f), so that the document stays plain ASCII and
// no reader loses the character after an escape.
#include "documents/rtf_writer.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

TEST(RtfWriter, EscapesAsATable) {
    const struct {
        const char* text;
        const char* rtf;
        const char* lineEnd;
    } cases[] = {
        {"plain", "plain", "\\par\n"},
        {"a\\b{c}d", "a\\\\b\\{c\\}d", "\\par\n"},                     // RTF's own specials
        {"one\ntwo\n", "one\\par\ntwo\\par\n", "\\par\n"},             // one paragraph per line
        {"one\r\ntwo\rthree", "one\\line two\\line three", "\\line "}, // CR LF is one line end
        {"a\tb", "a\\tab b", "\\par\n"},
        {"page\fnext", "page\\page\nnext", "\\par\n"},
        {"bell\x07", "bell", "\\par\n"}, // other controls dropped
        {"\x7f\xC2\x81", "", "\\par\n"}, // DEL and a C1 control: no characters
        // Code page 1252, Latin-1 and the 0x80-0x9f block alike; the next
        // character is no fallback to be skipped.
        {"Z\xC3\xBCrich", "Z\\'fcrich", "\\par\n"},                        // U+00FC
        {"\xE2\x82\xAC-Kurs \xE2\x80\x93", "\\'80-Kurs \\'96", "\\par\n"}, // U+20AC, U+2013
        {"\xC2\xA0", "\\'a0", "\\par\n"},                                  // no-break space
        // Beyond it: UTF-16 units, signed, each with its fallback.
        {"\xE2\x94\x82x", "\\u9474\\'3fx", "\\par\n"},                  // U+2502 box drawing
        {"\xE6\x9D\xB1", "\\u26481\\'3f", "\\par\n"},                   // U+6771
        {"\xEF\xBF\xBD", "\\u-3\\'3f", "\\par\n"},                      // U+FFFD: signed 16 bits
        {"\xF0\x9F\x98\x80", "\\u-10179\\'3f\\u-8704\\'3f", "\\par\n"}, // U+1F600: a pair
        {"\xFF", "\\u-3\\'3f", "\\par\n"},                              // invalid UTF-8 -> U+FFFD
    };
    for (const auto& c : cases) {
        std::string rtf;
        AppendRtfText(rtf, c.text, c.lineEnd);
        EXPECT_EQ(rtf, c.rtf) << "for " << c.text;
    }
}

} // namespace
} // namespace kalvero
