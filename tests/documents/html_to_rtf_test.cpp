// Draft documents: the RTF made from pspp's HTML, on recorded samples of
// pspp's output and on markup cases: sections that each hold a paragraph,
// merged cells on one grid of columns, wide tables on landscape pages or in
// column groups, and clear failures for what cannot be read.
#include "documents/html_to_rtf.h"

#include "batch/statistics_engine.h"
#include "tests/support/pspp_test_support.h"

#include <QRegularExpression>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kalvero {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::WriteFile;

const std::string kSamples = KALVERO_DRAFT_SAMPLES;
const std::string kHead = "<!doctype html><html><head><title>t</title><style>p{}</style>"
                          "</head><body>";
const std::string kTail = "</body></html>";

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

// A table of rows of cells of numbers, a row heading first: wider than a
// portrait A4 page from 8 columns on, than a landscape one from 12.
std::string NumberTable(int columns, int rows = 2) {
    std::string html = "<table><caption>Numbers</caption><tr><th></th>";
    html += "<th colspan=\"" + std::to_string(columns) + "\">Values</th></tr>";
    for (int r = 1; r <= rows; ++r) {
        html += "<tr><th>case " + std::to_string(r) + "</th>";
        for (int c = 1; c <= columns; ++c)
            html += "<td>" + std::to_string(1000000 * r + c) + ".25</td>";
        html += "</tr>";
    }
    return html + "</table>";
}

// The sections of a document by orientation ("P", "L"), each after checking
// that it holds a paragraph.
std::string Sections(const std::string& rtf) {
    std::string sections;
    for (std::size_t start = 0;;) {
        std::size_t end = rtf.find("\\sect", start); // a break, not \sectd
        while (end != std::string::npos && rtf.compare(end, 6, "\\sectd") == 0)
            end = rtf.find("\\sect", end + 1);
        const std::string section = rtf.substr(start, end == std::string::npos ? end : end - start);
        sections += section.find("\\lndscpsxn") != std::string::npos ? "L" : "P";
        EXPECT_THAT(section, HasSubstr("\\par}")) << "an empty section";
        if (end == std::string::npos)
            return sections;
        start = end + 5;
    }
}

// Each table row as its cells: merge marks (v: first of a merge down, ^:
// merged with the cell above), text, and after a slash the columns the cell
// takes, counted on the edges of all rows; and each row's last edge.
struct Rows {
    std::vector<std::string> cells;
    std::vector<int> ends;
};
Rows RowsOf(const std::string& rtf) {
    static const QRegularExpression kMark(QStringLiteral("\\\\(clvmgf|clvmrg|cellx(\\d+))"));
    static const QRegularExpression kControl(QStringLiteral("\\\\[a-z]+-?\\d* ?|[{}\\n]"));
    std::vector<std::vector<std::pair<std::string, int>>> table; // text, edge
    std::set<int> edges{0};
    for (std::size_t at = rtf.find("\\trowd"); at != std::string::npos;
         at = rtf.find("\\trowd", at + 1)) {
        const std::size_t end = rtf.find("\\row\n", at);
        const std::size_t split = rtf.find('\n', at);
        const QString definition = QString::fromStdString(rtf.substr(at, split - at));
        QStringList texts = QString::fromStdString(rtf.substr(split + 1, end - split - 1))
                                .split(QStringLiteral("\\cell\n"));
        auto& row = table.emplace_back();
        std::string marks;
        for (const QRegularExpressionMatch& m : kMark.globalMatch(definition)) {
            if (m.captured(2).isEmpty()) {
                marks += m.captured(1) == QStringLiteral("clvmgf") ? "v" : "^";
                continue;
            }
            const int edge = m.captured(2).toInt();
            edges.insert(edge);
            const auto cell = static_cast<qsizetype>(row.size());
            row.emplace_back(marks + texts[cell].remove(kControl).toStdString(), edge);
            marks.clear();
        }
    }
    const std::vector<int> columns(edges.begin(), edges.end());
    const auto column = [&](int edge) {
        return std::lower_bound(columns.begin(), columns.end(), edge) - columns.begin();
    };
    Rows rows;
    for (const auto& row : table) {
        std::string cells;
        int start = 0;
        for (const auto& [text, edge] : row) {
            cells += (cells.empty() ? "" : "|") + text + "/" +
                     std::to_string(column(edge) - column(start));
            start = edge;
        }
        rows.cells.push_back(cells);
        rows.ends.push_back(row.empty() ? 0 : row.back().second);
    }
    return rows;
}

TEST(HtmlToRtf, RecordedOutputBecomesTablesAndPictures) {
    const std::string html = ReadFile(kSamples + "/merged.html");
    const std::string rtf = Convert(html);
    ExpectWellFormed(rtf);
    EXPECT_EQ(Sections(rtf), "P");
    // One RTF row per HTML row, none split across pages; merged places.
    EXPECT_EQ(Count(rtf, "\\row\n"), Count(html, "<tr>"));
    EXPECT_EQ(Count(rtf, "\\trkeep"), Count(html, "<tr>"));
    EXPECT_EQ(Count(rtf, "\\clvmgf"), Count(html, "rowspan="));
    EXPECT_GT(Count(rtf, "\\trhdr"), 0u);
    EXPECT_GT(Count(rtf, "\\brdrw30"), 0u); // pspp's thick rules
    // After every table, paragraphs are no longer cells.
    EXPECT_EQ(Count(rtf, "\\row\n\\pard\\plain\n"), Count(html, "<table>"));
    // Captions centred as pspp does, over the table.
    EXPECT_THAT(rtf, HasSubstr("\\qc\\ri"));
    EXPECT_THAT(rtf, HasSubstr("\\b Descriptive Statistics\\par}"));
    // Both charts, at 96 dpi, with their titles; the text escaped.
    EXPECT_EQ(Count(rtf, "{\\pict\\pngblip"), 2u);
    EXPECT_THAT(rtf, HasSubstr("Gr\\'f6\\'dfe \\'fcber"));
    EXPECT_THAT(rtf, HasSubstr("\\u-28211\\'3f\\u-28209\\'3f \\{curly\\} \\\\back vs."));
    EXPECT_THAT(rtf, HasSubstr("merged.sps:16: error: FREQUENCIES: nosuch is not a variable"));
    const std::string png = ReadFile(kSamples + "/merged-1.png");
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(png[at]); };
    const int width = byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19);
    EXPECT_THAT(rtf, HasSubstr("\\picw" + std::to_string(width) + "\\pich"));
    EXPECT_THAT(rtf, HasSubstr("\\picwgoal" + std::to_string(std::min(width * 15, 11906 - 2268))));
}

TEST(HtmlToRtf, EverySectionAndTheBodyHoldAParagraph) {
    const std::string wide = NumberTable(10); // landscape, one part
    const struct {
        std::string body;
        const char* sections;
    } cases[] = {
        {"", "P"}, // nothing to show: one empty paragraph
        {"<p>text</p>", "P"},
        {wide, "L"}, // the first section is the landscape one
        {"<p>a</p>" + wide, "PL"},
        {"<p>a</p>" + wide + wide + "<p>b</p>", "PLP"}, // one landscape section for both
        {wide + "<p>a</p>" + wide, "LPL"},
    };
    for (const auto& c : cases) {
        const std::string rtf = Convert(kHead + c.body + kTail);
        ExpectWellFormed(rtf);
        EXPECT_EQ(Sections(rtf), c.sections) << c.body.substr(0, 40);
    }
}

// Cells across rows and columns at once, a row after a cell across rows, and
// a short row, on the edges of one grid of columns.
TEST(HtmlToRtf, MergedCellsKeepTheirPlacesOnOneGrid) {
    const std::string rtf =
        Convert(kHead +
                "<table><tr><th rowspan=2 colspan=2>A</th><th colspan=2>B</th></tr>"
                "<tr><th>C</th><th>D</th></tr>"
                "<tr><td>E</td><td rowspan=2>F</td><td>G</td><td>H</td></tr>"
                "<tr><td>I</td><td>J</td><td>K</td></tr>"
                "<tr><td>L</td></tr></table>" +
                kTail);
    const Rows rows = RowsOf(rtf);
    EXPECT_THAT(rows.cells, ElementsAre("vA/2|B/2", "^/2|C/1|D/1", "E/1|vF/1|G/1|H/1",
                                        "I/1|^/1|J/1|K/1", "L/1|/1|/1|/1"));
    EXPECT_THAT(rows.ends, Each(rows.ends.front()));
}

TEST(HtmlToRtf, ATableTooWideForLandscapeIsSplitIntoColumnGroups) {
    const std::string rtf = Convert(kHead + NumberTable(40) + kTail);
    ExpectWellFormed(rtf);
    EXPECT_EQ(Sections(rtf), "L");
    const Rows rows = RowsOf(rtf);
    // Groups of three rows each, all within the landscape page, each
    // repeating the heading across them and the row headings.
    ASSERT_GE(rows.cells.size(), 6u);
    ASSERT_EQ(rows.cells.size() % 3, 0u);
    std::string values;
    for (std::size_t r = 0; r < rows.cells.size(); r += 3) {
        EXPECT_THAT(rows.cells[r], ::testing::MatchesRegex("/1\\|Values/[0-9]+"));
        EXPECT_THAT(rows.cells[r + 1], ::testing::StartsWith("case 1/1|"));
        EXPECT_LE(rows.ends[r], 16838 - 2268);
        values += rows.cells[r + 1].substr(9) + "|";
    }
    std::string expected;
    for (int c = 1; c <= 40; ++c)
        expected += std::to_string(1000000 + c) + ".25/1|";
    EXPECT_EQ(values, expected) << "every value once, in order";
    EXPECT_EQ(Count(rtf, "Numbers"), 1u) << "the caption above the first group only";
}

TEST(HtmlToRtf, AWideTableIsSetOnALandscapePage) {
    const std::string html = ReadFile(kSamples + "/wide.html");
    const std::string rtf = Convert(html);
    ExpectWellFormed(rtf);
    // Only the list of 24 variables; the table of their formats fits.
    EXPECT_EQ(Sections(rtf), "PL");
    EXPECT_EQ(Count(rtf, "\\cellx"), Count(html, "<td") + Count(html, "<th"));
}

TEST(HtmlToRtf, MarkupAsATable) {
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
        {"<p>&amp;&lt;&gt;&quot;&#233;&#x263A;</p>", "&<>\"\\'e9\\u9786\\'3f", false},
        {"<table><tr><td>two<br>lines</td></tr></table>", "two\\line lines", false},
        {"<table><tr><th style='text-align: right; border-bottom: double'>r</th></tr></table>",
         "\\clbrdrb\\brdrdb", false},
        {"<table><caption style='text-align: center'>c</caption><tr><td>1</td></tr></table>",
         "\\qc\\ri", false},
        {"<h2>Title</h2>", "\\b\\fs24 Title\\par}", false},
        // Inline markup left open or closed twice keeps the groups whole.
        {"<p><b>bold</b></b> <i>open</p>", "{\\b bold} {\\i open}\\par}", false},
        {"<p>one<p>two</p>", "one\\par}\n{", false},
        {"<blink>x</blink>", "the element <blink> is not known", true},
        {"<p>a &bogus; b</p>", "&bogus; is not known", true},
        {"<p>a &#; b</p>", "&#; is not a number", true},
        {"<table><tr><td colspan=\"1001\">x</td></tr></table>", "is more than 1000", true},
        {"<table><tr><td rowspan=\"-2\">x</td></tr></table>", "is not a number", true},
        {"<style>x</style", "<style> is not closed", true}, // once looped for ever
        {"<!-- x", "a comment is not closed", true},
        // Found by the damaged variations: state left over from a table.
        {"<table><caption>c</table>text", "a table ends inside its caption", true},
        {"<table><tfoot><td></tfoot></td>", "a cell outside a row", true},
        {"<img src=\"../etc/passwd\" alt=\"chart: x\">", "is not a file beside the output", true},
        {"<img src=\"missing.png\" alt=\"chart: x\">", "is not a PNG picture", true},
        {"<table><tr><td>cut off", "ends inside a table", true},
    };
    for (const auto& c : cases) {
        std::string rtf;
        std::string failure;
        try {
            rtf = Convert(kHead + c.body + (c.fails ? "" : kTail));
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

} // namespace
} // namespace kalvero
