// A table of pspp's HTML on its way into a Draft document:
//   cells as read (DraftTable) -> placed on a grid of columns (PlaceCells)
//   -> laid out on the page (LayOutTable: widths, orientation, and column
//   groups that repeat the row headings where even a landscape page is too
//   narrow, as pspp splits its own wide tables) -> RTF rows (AppendTableRows).
#pragma once

#include <string>
#include <vector>

namespace kalvero {

enum class Rule { None, Thin, Thick, Double, Dashed };

struct DraftCell {
    std::string rtf;   // its content
    std::string plain; // its text, to measure it
    bool header = false;
    bool bold = false;
    int colspan = 1;
    int rowspan = 1;
    std::string align = "\\ql";
    std::string valign;
    Rule rules[4] = {}; // top, left, bottom, right
};

struct DraftRow {
    std::vector<DraftCell> cells;
};

struct DraftTable {
    std::string caption;      // RTF
    std::string captionPlain; // its text, to measure it
    std::string captionAlign = "\\ql";
    bool captionBold = false;
    std::vector<DraftRow> rows;
    std::vector<std::string> footnotes; // RTF, one per footnote cell
};

// Reads a cell's (or caption's) style attribute: its rules and alignment
// into cell, bold and italic into prefix as RTF.
void ReadCellStyle(const std::string& style, DraftCell& cell, std::string& prefix);

// Twips the widest line of plain text takes in 9-point Arial, padding
// included, a little generously.
int TextTwips(const std::string& plain, bool bold);

// The table as a grid: grid[row][column] is the cell covering that place, or
// null where a row is shorter than the table. A cell covers its colspan
// columns from the first place of its row not taken by a cell reaching down
// from a row above, and its rowspan rows (cut at the table's end).
using CellGrid = std::vector<std::vector<const DraftCell*>>;
CellGrid PlaceCells(const DraftTable& table);

// One table of RTF: the grid's columns it shows and their widths in twips.
struct TablePart {
    std::vector<std::size_t> columns;
    std::vector<int> widths;
    int fontSize = 18; // half-points
    int Width() const;
};

struct TableLayout {
    bool landscape = false;
    std::vector<TablePart> parts; // one, or column groups
};

// Each column as wide as its widest line where the portrait page allows;
// else on a landscape page, lines wrapped between words where needed; else
// set smaller, down to 7 points; else in column groups, each repeating the
// row headings. Numbers and words are never broken.
TableLayout LayOutTable(const DraftTable& table, const CellGrid& grid, int portraitWidth,
                        int landscapeWidth);

// Appends the RTF rows of one part (table_rtf.cpp says which form of merged
// cells and why); the leading rows of headings marked to repeat on each
// page; no row split by a page break. Ends with \pard, so that nothing after
// it is taken for a cell.
void AppendTableRows(std::string& out, const DraftTable& table, const CellGrid& grid,
                     const TablePart& part);

} // namespace kalvero
