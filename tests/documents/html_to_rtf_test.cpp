// Draft documents: the RTF made from pspp's HTML, on recorded samples of
// pspp's output and on markup cases, and a Draft written by the engine with
// real pspp and read back by LibreOffice.
#include "documents/html_to_rtf.h"

#include "batch/statistics_engine.h"
#include "engine/pspp_engine.h"
#include "tests/support/pspp_test_support.h"

#include <QRegularExpression>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace kalvero {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using testing::WriteFile;

const std::string kSamples = KALVERO_DRAFT_SAMPLES;

std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// Pure ASCII, and every group closed, escaped braces aside.
void ExpectWellFormed(const std::string& rtf) {
    EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
            continue;
        }
        depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
        ASSERT_GE(depth, 0) << "at " << i;
    }
    EXPECT_EQ(depth, 0);
}

std::string Convert(const std::string& html, const std::string& folder = kSamples) {
    return HtmlToRtf(html, folder, RtfPage{});
}

TEST(HtmlToRtf, RecordedOutputBecomesTablesAndPictures) {
    const std::string html = ReadFile(kSamples + "/merged.html");
    const std::string rtf = Convert(html);
    ExpectWellFormed(rtf);
    // One RTF row per HTML row; a cell across rows starts a vertical merge.
    EXPECT_EQ(Count(rtf, "\\row\n"), Count(html, "<tr>"));
    EXPECT_EQ(Count(rtf, "\\clvmgf"), Count(html, "rowspan="));
    EXPECT_GE(Count(rtf, "\\clvmrg"), Count(html, "rowspan="));
    EXPECT_GT(Count(rtf, "\\trhdr"), 0u);
    EXPECT_GT(Count(rtf, "\\brdrw30"), 0u); // pspp's thick rules
    // Both charts, at 96 dpi, with their titles; the text escaped.
    EXPECT_EQ(Count(rtf, "{\\pict\\pngblip"), 2u);
    EXPECT_EQ(Count(rtf, "\\picwgoal"), 2u);
    EXPECT_THAT(rtf, HasSubstr("Gr\\u246?\\u223?e \\u252?ber"));
    EXPECT_THAT(rtf, HasSubstr("\\u-28211?\\u-28209? \\{curly\\} \\\\back vs."));
    EXPECT_THAT(rtf, HasSubstr("merged.sps:16: error: FREQUENCIES: nosuch is not a variable"));
    const std::string png = ReadFile(kSamples + "/merged-1.png");
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(png[at]); };
    const int width = byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19);
    EXPECT_THAT(rtf, HasSubstr("\\picw" + std::to_string(width) + "\\pich"));
    EXPECT_THAT(rtf, HasSubstr("\\picwgoal" + std::to_string(std::min(width * 15, 11906 - 2268))));
}

TEST(HtmlToRtf, AWideTableIsSetOnALandscapePage) {
    const std::string html = ReadFile(kSamples + "/wide.html");
    const std::string rtf = Convert(html);
    ExpectWellFormed(rtf);
    // Only the list of 24 variables; the table of their formats fits.
    EXPECT_EQ(Count(rtf, "\\lndscpsxn"), 1u);
    EXPECT_EQ(Count(rtf, "\\cellx"), Count(html, "<td") + Count(html, "<th"));
}

TEST(HtmlToRtf, MarkupAsATable) {
    const std::string head = "<!doctype html><html><head><title>t</title><style>p{}</style>"
                             "</head><body>";
    const struct {
        const char* body;
        const char* expected; // in the document, or in the failure
        bool fails;
    } cases[] = {
        // Footnote marks in cells, the footnotes below the table.
        {"<table><tbody><tr><td>1.5<sup>a</sup></td></tr></tbody><tfoot><tr><td colspan=1>"
         "<sup>a</sup>Estimated.<br><sup>b</sup>Rounded.</td></tr></tfoot></table>",
         "\\fs16 {\\super a}Estimated.\\par {\\super b}Rounded.\\par}", false},
        {"<table><tr><td>1.5<sup>a</sup></td></tr></table>", "1.5{\\super a}", false},
        {"<p>&amp;&lt;&gt;&quot;&#233;&#x263A;</p>", "&<>\"\\u233?\\u9786?", false},
        {"<table><tr><td>two<br>lines</td></tr></table>", "two\\line lines", false},
        {"<table><tr><th style='text-align: right; border-bottom: double'>r</th></tr></table>",
         "\\clbrdrb\\brdrdb", false},
        {"<h2>Title</h2>", "\\b\\fs24 Title\\par}", false},
        {"<blink>x</blink>", "the element <blink> is not known", true},
        {"<p>a &bogus; b</p>", "&bogus; is not known", true},
        {"<img src=\"../etc/passwd\" alt=\"chart: x\">", "is not a file beside the output", true},
        {"<img src=\"missing.png\" alt=\"chart: x\">", "is not a PNG picture", true},
        {"<table><tr><td>cut off", "ends inside a table", true},
    };
    for (const auto& c : cases) {
        std::string rtf;
        std::string failure;
        try {
            rtf = Convert(head + c.body + (c.fails ? "" : "</body></html>"));
        } catch (const EngineError& error) {
            failure = error.what();
        }
        if (c.fails) {
            EXPECT_THAT(failure, HasSubstr(c.expected)) << c.body;
        } else {
            EXPECT_THAT(rtf, HasSubstr(c.expected)) << c.body << "\n" << failure;
            ExpectWellFormed(rtf);
        }
    }
}

TEST(HtmlToRtf, AChartCutOffIsAFailure) {
    testing::EngineTestFolder folder;
    const std::string png = ReadFile(kSamples + "/merged-1.png");
    WriteFile(folder.Path("cut-1.png"), png.substr(0, png.size() / 2));
    try {
        Convert("<html><body><img src=\"cut-1.png\" alt=\"chart: c\"></body></html>",
                folder.Files());
        ADD_FAILURE() << "a cut-off chart was taken";
    } catch (const EngineError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cut-1.png is incomplete"));
    }
}

TEST(DraftDocument, WrittenByTheEngineReadsBackInLibreOfficeWithEveryCellAndChart) {
    if (!testing::LibreOfficeInstalled())
        GTEST_SKIP() << "LibreOffice is not installed (Debian package libreoffice-writer-nogui)";
    testing::EngineTestFolder folder;
    const std::string syntax =
        WriteFile(folder.Path("charts.sps"), ReadFile(kSamples + "/merged.sps"));
    auto engine = PsppEngineFactory().CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(1);
    engine->RunSyntaxFile(syntax, true);
    engine->CurrentDraftDocument()->SaveDocument(folder.Path("charts.rtf"));
    engine->QuitEngine();

    const std::string text =
        testing::ReadBackWithLibreOffice({folder.Path("charts.rtf")}, "txt:Text").front();
    const std::string html =
        testing::ReadBackWithLibreOffice({folder.Path("charts.rtf")}, "html").front();
    EXPECT_EQ(Count(html, "<img"), 2u);
    // Every cell of pspp's own tables is in what LibreOffice reads.
    const QString source = QString::fromStdString(ReadFile(kSamples + "/merged.html"));
    const QRegularExpression cell(QStringLiteral("<t[dh][^>]*>([^<]+)</t[dh]>"));
    int cells = 0;
    for (const QRegularExpressionMatch& match : cell.globalMatch(source)) {
        const std::string content =
            match.captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&")).toStdString();
        EXPECT_THAT(text, HasSubstr(content));
        ++cells;
    }
    EXPECT_GT(cells, 40);
    EXPECT_THAT(text, HasSubstr("charts.sps:16: error:"));
}

} // namespace
} // namespace kalvero
