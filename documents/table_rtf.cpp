// The RTF rows of a Draft table, merged cells in the form Word writes: a cell
// across columns is one wide cell (its \cellx at the last column's edge), a
// cell across rows \clvmgf in its first row and \clvmrg below. LibreOffice
// shows this form and the other (every row of the same columns, \clmgf and
// \clmrg marking the places of a wide cell) alike. AbiWord 3.0 knows
// neither \clmrg nor \clvmrg: given the other form it squeezes a cell's text
// into its first column, breaking words ("Ca-ses" for "Cases"); given this
// one it starts a new table where a row is divided differently, but at the
// same edges, so the page shows the cells at their width. pandoc and unrtf
// show no merged cells in either form, and read the same text.
#include "documents/draft_table.h"

#include <algorithm>

namespace kalvero {
namespace {

constexpr int kCellGap = 80; // twips of padding on each side of a cell's text
// A cell's paragraph: 1 pt of room above and below its text.
constexpr const char* kCellText = "\\pard\\intbl\\sb20\\sa20\\f0\\fs";

const char* RuleRtf(Rule rule) {
    switch (rule) {
    case Rule::None:
        return "";
    case Rule::Thin:
        return "\\brdrs\\brdrw10";
    case Rule::Thick:
        return "\\brdrs\\brdrw30";
    case Rule::Double:
        return "\\brdrdb\\brdrw10";
    case Rule::Dashed:
        return "\\brdrdash\\brdrw10";
    }
    return "";
}

// The leading rows that hold headings only, repeated on each page; never
// every row.
std::size_t HeadingRows(const DraftTable& table) {
    std::size_t headings = 0;
    while (headings + 1 < table.rows.size() && !table.rows[headings].cells.empty() &&
           std::all_of(table.rows[headings].cells.begin(), table.rows[headings].cells.end(),
                       [](const DraftCell& cell) { return cell.header; }))
        ++headings;
    return headings;
}

// A cell as one row of the part shows it: its last column there (an index
// into the part), and whether the rows above and below show the same cell.
struct Span {
    const DraftCell* cell = nullptr;
    std::size_t last = 0;
    bool up = false;
    bool down = false;
};

std::vector<Span> SpansOf(const CellGrid& grid, const TablePart& part, std::size_t row) {
    std::vector<Span> spans;
    const auto& places = grid[row];
    for (std::size_t k = 0; k < part.columns.size();) {
        Span span{places[part.columns[k]], k};
        while (span.cell && span.last + 1 < part.columns.size() &&
               places[part.columns[span.last + 1]] == span.cell)
            ++span.last;
        const std::size_t column = part.columns[k];
        span.up = span.cell && row > 0 && grid[row - 1][column] == span.cell;
        span.down = span.cell && row + 1 < grid.size() && grid[row + 1][column] == span.cell;
        spans.push_back(span);
        k = span.last + 1;
    }
    return spans;
}

// The cell definition of a span: merging, alignment and the rules on the
// cell's outer sides.
std::string Definition(const Span& span, int edge) {
    std::string definition;
    if (span.cell) {
        const DraftCell& cell = *span.cell;
        definition += span.up ? "\\clvmrg" : span.down ? "\\clvmgf" : "";
        definition += cell.valign;
        static const char* const kSides[] = {"\\clbrdrt", "\\clbrdrl", "\\clbrdrb", "\\clbrdrr"};
        const bool outer[] = {!span.up, true, !span.down, true};
        for (int side = 0; side < 4; ++side)
            if (outer[side] && cell.rules[side] != Rule::None)
                definition += std::string(kSides[side]) + RuleRtf(cell.rules[side]);
    }
    return definition + "\\cellx" + std::to_string(edge);
}

} // namespace

void AppendTableRows(std::string& out, const DraftTable& table, const CellGrid& grid,
                     const TablePart& part) {
    const std::size_t headings = HeadingRows(table);
    for (std::size_t row = 0; row < grid.size(); ++row) {
        if (std::none_of(part.columns.begin(), part.columns.end(),
                         [&](std::size_t c) { return grid[row][c] != nullptr; }))
            continue;
        std::string definition = "\\trowd\\trgaph" + std::to_string(kCellGap) + "\\trleft0\\trkeep";
        if (row < headings)
            definition += "\\trhdr";
        std::string contents;
        int edge = 0;
        std::size_t k = 0;
        for (const Span& span : SpansOf(grid, part, row)) {
            while (k <= span.last)
                edge += part.widths[k++];
            definition += Definition(span, edge);
            contents += kCellText + std::to_string(part.fontSize) +
                        (span.cell ? span.cell->align : "") + " ";
            if (span.cell && !span.up)
                contents += "{" + span.cell->rtf + "}";
            contents += "\\cell\n";
        }
        out += definition + "\n" + contents + "\\row\n";
    }
    // Paragraphs after this are no longer in the table.
    out += "\\pard\\plain\n";
}

} // namespace kalvero
