#include "documents/draft_table.h"

#include "documents/html_reader.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace kalvero {
namespace {

constexpr int kCellGap = 80;                  // twips of padding on each side of a cell's text
constexpr int kFontSize = 18;                 // half-points: 9-point text
constexpr std::size_t kMostPlaces = 16000000; // rows times columns of the largest table

Rule ReadRule(const std::string& value) {
    if (value.find("thick") != std::string::npos)
        return Rule::Thick;
    if (value.find("double") != std::string::npos)
        return Rule::Double;
    if (value.find("dash") != std::string::npos)
        return Rule::Dashed;
    if (value.find("none") != std::string::npos)
        return Rule::None;
    return Rule::Thin;
}

// Twips a character of 9-point Arial takes, a little generously (bold
// headings are wider): its widths in thousandths of an em, times 0.18.
int CharacterTwips(unsigned char first) {
    if (first >= 0xE3)
        return 180; // East Asian: a full em
    if (first >= 0x80)
        return 120;
    if (first >= '0' && first <= '9')
        return 100;
    if (std::string_view(" .,:;!|'ijlIft").find(static_cast<char>(first)) != std::string::npos)
        return 55;
    if (std::string_view("mwMW%@").find(static_cast<char>(first)) != std::string::npos)
        return 170;
    if (first >= 'A' && first <= 'Z')
        return 125;
    return 100;
}

struct Extent {
    int line = 0; // the widest line: the width that wraps nothing
    int word = 0; // the widest word: the narrowest width that breaks nothing
};

// A text's extent in twips at fontSize half-points, its padding and a little
// room to spare added.
Extent Measure(const std::string& plain, bool bold, int fontSize) {
    Extent extent;
    int line = 0;
    int word = 0;
    for (const char c : plain + '\n') {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte of UTF-8
        if (c == '\n' || c == ' ') {
            extent.word = std::max(extent.word, word);
            word = 0;
        }
        if (c == '\n') {
            extent.line = std::max(extent.line, line);
            line = 0;
            continue;
        }
        line += CharacterTwips(byte);
        if (c != ' ')
            word += CharacterTwips(byte);
    }
    const int spare = 40 + 2 * kCellGap;
    const auto scale = [&](int twips) {
        return (bold ? twips * 11 / 10 : twips) * fontSize / kFontSize + spare;
    };
    return {scale(extent.line), scale(extent.word)};
}

// Each column's extent; a cell across columns widens them evenly where its
// columns are narrower than it.
std::vector<Extent> ColumnExtents(const CellGrid& grid, std::size_t columns, int fontSize) {
    constexpr int kNarrowest = 360;
    std::vector<Extent> extents(columns, Extent{kNarrowest, kNarrowest});
    for (const bool spanning : {false, true})
        for (const auto& row : grid)
            for (std::size_t c = 0; c < columns; ++c) {
                const DraftCell* cell = row[c];
                if (!cell || (c > 0 && row[c - 1] == cell))
                    continue;
                std::size_t end = c + 1;
                while (end < columns && row[end] == cell)
                    ++end;
                if ((end - c > 1) != spanning)
                    continue;
                const Extent extent = Measure(cell->plain, cell->bold, fontSize);
                Extent taken;
                for (std::size_t s = c; s < end; ++s) {
                    taken.line += extents[s].line;
                    taken.word += extents[s].word;
                }
                const int count = static_cast<int>(end - c);
                for (std::size_t s = c; s < end; ++s) {
                    extents[s].line += (std::max(0, extent.line - taken.line) + count - 1) / count;
                    extents[s].word += (std::max(0, extent.word - taken.word) + count - 1) / count;
                }
            }
    return extents;
}

// The widths of columns within width: each at its widest line if all fit,
// else the room beyond the widest words shared by what wrapping saves.
std::vector<int> Fit(const std::vector<Extent>& extents, const std::vector<std::size_t>& columns,
                     int width) {
    long long lines = 0;
    long long words = 0;
    for (const std::size_t c : columns) {
        lines += extents[c].line;
        words += extents[c].word;
    }
    std::vector<int> widths;
    for (const std::size_t c : columns) {
        const Extent& e = extents[c];
        if (lines <= width)
            widths.push_back(e.line);
        else if (words <= width)
            widths.push_back(e.word + static_cast<int>((width - words) * (e.line - e.word) /
                                                       std::max(1LL, lines - words)));
        else // one column wider than the page: nothing else can be done
            widths.push_back(std::max(1, static_cast<int>(e.word * width / words)));
    }
    return widths;
}

// The leading columns that hold only headings below the heading rows.
std::size_t RowHeadingColumns(const DraftTable& table, const CellGrid& grid) {
    std::size_t firstBody = 0;
    while (firstBody < table.rows.size() && !table.rows[firstBody].cells.empty() &&
           std::all_of(table.rows[firstBody].cells.begin(), table.rows[firstBody].cells.end(),
                       [](const DraftCell& cell) { return cell.header; }))
        ++firstBody;
    const std::size_t columns = grid.empty() ? 0 : grid[0].size();
    std::size_t headings = 0;
    for (; headings < columns; ++headings)
        for (std::size_t r = firstBody; r < grid.size(); ++r)
            if (grid[r][headings] && !grid[r][headings]->header)
                return headings;
    return headings;
}

} // namespace

void ReadCellStyle(const std::string& style, DraftCell& cell, std::string& prefix) {
    std::stringstream declarations(style);
    std::string declaration;
    static const char* const kSides[] = {"border-top", "border-left", "border-bottom",
                                         "border-right"};
    while (std::getline(declarations, declaration, ';')) {
        const std::size_t colon = declaration.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Lower(Trim(declaration.substr(0, colon)));
        const std::string value = Lower(Trim(declaration.substr(colon + 1)));
        for (int side = 0; side < 4; ++side)
            if (name == kSides[side])
                cell.rules[side] = ReadRule(value);
        if (name == "text-align") {
            cell.align = value == "center" ? "\\qc" : value == "right" ? "\\qr" : "\\ql";
        } else if (name == "vertical-align") {
            cell.valign = value == "middle"   ? "\\clvertalc"
                          : value == "bottom" ? "\\clvertalb"
                                              : "";
        } else if (name == "font-weight" && value == "bold") {
            prefix += "\\b ";
            cell.bold = true;
        } else if (name == "font-style" && value == "italic") {
            prefix += "\\i ";
        }
    }
}

CellGrid PlaceCells(const DraftTable& table) {
    const std::size_t rows = table.rows.size();
    CellGrid grid(rows);
    std::vector<int> below; // rows each column is still taken for, this one included
    for (std::size_t r = 0; r < rows; ++r) {
        std::size_t column = 0;
        for (const DraftCell& cell : table.rows[r].cells) {
            while (column < below.size() && below[column] > 0)
                ++column;
            const std::size_t end = column + static_cast<std::size_t>(cell.colspan);
            if (below.size() < end)
                below.resize(end, 0);
            if (end * rows > kMostPlaces)
                FailDraft("a table of " + std::to_string(rows) + " rows and " +
                          std::to_string(end) + " columns is too large");
            const std::size_t last = std::min(rows, r + static_cast<std::size_t>(cell.rowspan));
            for (std::size_t c = column; c < end; ++c) {
                below[c] = cell.rowspan;
                for (std::size_t covered = r; covered < last; ++covered) {
                    if (grid[covered].size() < end)
                        grid[covered].resize(end, nullptr);
                    grid[covered][c] = &cell;
                }
            }
            column = end;
        }
        for (int& left : below)
            left = std::max(0, left - 1);
    }
    std::size_t columns = 0;
    for (const auto& row : grid)
        columns = std::max(columns, row.size());
    for (auto& row : grid)
        row.resize(columns, nullptr);
    return grid;
}

int TextTwips(const std::string& plain, bool bold) {
    return Measure(plain, bold, kFontSize).line;
}

int TablePart::Width() const {
    return std::accumulate(widths.begin(), widths.end(), 0);
}

TableLayout LayOutTable(const DraftTable& table, const CellGrid& grid, int portraitWidth,
                        int landscapeWidth) {
    const std::size_t columns = grid.empty() ? 0 : grid[0].size();
    std::vector<std::size_t> all(columns);
    std::iota(all.begin(), all.end(), 0);
    const auto sums = [&](const std::vector<Extent>& extents) {
        Extent sum;
        for (const Extent& extent : extents) {
            sum.line += extent.line;
            sum.word += extent.word;
        }
        return sum;
    };
    const std::vector<Extent> extents = ColumnExtents(grid, columns, kFontSize);
    const Extent sum = sums(extents);
    if (sum.line <= portraitWidth)
        return {false, {{all, Fit(extents, all, portraitWidth), kFontSize}}};
    if (sum.word <= landscapeWidth)
        return {true, {{all, Fit(extents, all, landscapeWidth), kFontSize}}};
    // A table a little too wide is set smaller, down to 7 points.
    for (const int smaller : {16, 14}) {
        const std::vector<Extent> small = ColumnExtents(grid, columns, smaller);
        if (sums(small).word <= landscapeWidth)
            return {true, {{all, Fit(small, all, landscapeWidth), smaller}}};
    }
    // Column groups, each after the row headings, as many columns as fit.
    std::size_t headings = RowHeadingColumns(table, grid);
    int headingWidth = 0;
    for (std::size_t c = 0; c < headings; ++c)
        headingWidth += extents[c].line;
    if (headingWidth > landscapeWidth / 2) {
        headings = 0;
        headingWidth = 0;
    }
    TableLayout layout{true, {}};
    for (std::size_t c = headings; c < columns;) {
        TablePart part;
        part.columns.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(headings));
        long long width = headingWidth;
        do {
            width += extents[c].line;
            part.columns.push_back(c++);
        } while (c < columns && width + extents[c].line <= landscapeWidth);
        part.widths = Fit(extents, part.columns, landscapeWidth);
        part.fontSize = kFontSize;
        layout.parts.push_back(std::move(part));
    }
    return layout;
}

} // namespace kalvero
