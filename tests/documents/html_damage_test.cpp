// The converter never hangs or crashes on what it cannot read: damaged and
// random variations of the recorded samples each end in a clear failure or
// in a well-formed document. A bounded count, the same variations each run.
#include "documents/html_to_rtf.h"

#include "batch/statistics_engine.h"
#include "tests/support/pspp_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace kalvero {
namespace {

const std::string kSamples = KALVERO_DRAFT_SAMPLES;

// Pure ASCII, braces balanced, opened and closed as an RTF document.
bool WellFormed(const std::string& rtf) {
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (static_cast<unsigned char>(rtf[i]) >= 0x80)
            return false;
        if (rtf[i] == '\\')
            ++i;
        else if ((depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0) < 0)
            return false;
    }
    return depth == 0 && rtf.rfind("{\\rtf1", 0) == 0 && rtf.find("\\par") != std::string::npos;
}

class Damage {
public:
    explicit Damage(unsigned seed) : random_(seed) {}

    std::string operator()(std::string html) {
        for (std::size_t n = Below(3) + 1; n > 0; --n)
            html = Once(std::move(html));
        return html;
    }

private:
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    std::string Once(std::string html) {
        static const char* const kFragments[] = {"<table>",
                                                 "</table>",
                                                 "<tr>",
                                                 "</tr>",
                                                 "<td>",
                                                 "</td>",
                                                 "<th rowspan=\"40\">",
                                                 "<td colspan=\"1000\">",
                                                 "<td rowspan=\"65534\" colspan=\"7\">",
                                                 "<caption>",
                                                 "<tfoot>",
                                                 "<sup>",
                                                 "<br>",
                                                 "&#",
                                                 "&#x110000;",
                                                 "&#55357;",
                                                 "&amp",
                                                 "<style>x</style",
                                                 "<!--",
                                                 "<img src=\"merged-1.png\" alt=\"chart: x\">",
                                                 "<img src=\"merged-2.png\">",
                                                 "<p>",
                                                 "</body>",
                                                 "<body>",
                                                 "<",
                                                 "\"",
                                                 "'",
                                                 "=",
                                                 "\xFF\xFE",
                                                 "\xC3"};
        static const char kBytes[] = "<>/&;=\"' \n#x0123456789abcdef";
        const std::size_t at = Below(html.size() + 1);
        switch (Below(6)) {
        case 0: // cut off
            return html.substr(0, at);
        case 1: // a piece missing
            return html.erase(at, Below(200) + 1);
        case 2: // a piece twice
            return html.insert(Below(html.size() + 1), html.substr(at, Below(500) + 1));
        case 3: // bytes changed
            for (std::size_t n = Below(8) + 1; n > 0 && !html.empty(); --n)
                html[Below(html.size())] = Below(4) == 0 ? static_cast<char>(Below(256))
                                                         : kBytes[Below(sizeof kBytes - 1)];
            return html;
        case 4: // markup inserted
            return html.insert(at, kFragments[Below(std::size(kFragments))]);
        default: // noise
            std::string noise;
            for (std::size_t n = Below(300); n > 0; --n)
                noise += static_cast<char>(Below(256));
            return html.insert(at, noise);
        }
    }

    std::mt19937 random_;
};

TEST(HtmlToRtf, DamagedHtmlEndsInAClearFailureOrAWellFormedDocument) {
    const std::string samples[] = {testing::ReadFile(kSamples + "/merged.html"),
                                   testing::ReadFile(kSamples + "/wide.html")};
    Damage damage(18);
    int documents = 0;
    int failures = 0;
    for (int i = 0; i < 1500; ++i) {
        const std::string html = damage(samples[i % 2]);
        try {
            const std::string rtf = HtmlToRtf(html, kSamples, RtfPage{});
            ++documents;
            EXPECT_TRUE(WellFormed(rtf)) << "variation " << i;
        } catch (const EngineError& error) {
            ++failures;
            EXPECT_THAT(error.what(), ::testing::StartsWith("Cannot turn PSPP's HTML output into "
                                                            "a Draft document: "))
                << "variation " << i;
        }
    }
    // Both ends are reached often.
    EXPECT_GT(documents, 150);
    EXPECT_GT(failures, 150);
}

} // namespace
} // namespace kalvero
