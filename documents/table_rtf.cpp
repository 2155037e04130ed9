// The RTF rows of a Draft table. Every row is divided into the same columns
// and merged places are marked as such (\clmgf/\clmrg, \clvmgf/\clvmrg)
// rather than written as one wide cell: LibreOffice and Word show both forms
// merged, but AbiWord starts a new table wherever a row is divided
// differently from the one above.
#include "documents/draft_table.h"

#include <algorithm>

namespace kalvero {
namespace {

constexpr int kCellGap = 80; // twips of padding on each side of a cell's text
// A cell's paragraph: 1 pt of room above and below its text.
constexpr const char* kCellText = "\\pard\\intbl\\sb20\\sa20\\f0\\fs18";

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

// Where a place stands in its cell: which of its neighbours in the part
// belong to the same cell.
struct Place {
    const DraftCell* cell = nullptr;
    bool up = false; // the place above is the same cell
    bool down = false;
    bool left = false;
    bool right = false;
};

Place PlaceAt(const CellGrid& grid, const TablePart& part, std::size_t row, std::size_t k) {
    const std::size_t column = part.columns[k];
    Place place;
    place.cell = grid[row][column];
    if (!place.cell)
        return place;
    place.up = row > 0 && grid[row - 1][column] == place.cell;
    place.down = row + 1 < grid.size() && grid[row + 1][column] == place.cell;
    place.left = k > 0 && grid[row][part.columns[k - 1]] == place.cell;
    place.right = k + 1 < part.columns.size() && grid[row][part.columns[k + 1]] == place.cell;
    return place;
}

// The cell definition of a place: merging, alignment and the rules on the
// cell's outer sides.
std::string Definition(const Place& place, int edge) {
    std::string definition;
    if (place.cell) {
        const DraftCell& cell = *place.cell;
        definition += place.up ? "\\clvmrg" : place.down ? "\\clvmgf" : "";
        definition += place.left ? "\\clmrg" : place.right ? "\\clmgf" : "";
        definition += cell.valign;
        static const char* const kSides[] = {"\\clbrdrt", "\\clbrdrl", "\\clbrdrb", "\\clbrdrr"};
        const bool outer[] = {!place.up, !place.left, !place.down, !place.right};
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
        for (std::size_t k = 0; k < part.columns.size(); ++k) {
            const Place place = PlaceAt(grid, part, row, k);
            definition += Definition(place, edge += part.widths[k]);
            contents += kCellText;
            if (place.cell) {
                contents += place.cell->align + " ";
                if (!place.up && !place.left)
                    contents += "{" + place.cell->rtf + "}";
            } else {
                contents += " ";
            }
            contents += "\\cell\n";
        }
        out += definition + "\n" + contents + "\\row\n";
    }
    // Paragraphs after this are no longer in the table.
    out += "\\pard\\plain\n";
}

} // namespace kalvero
