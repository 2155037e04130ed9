#include "documents/html_to_rtf.h"

#include "batch/statistics_engine.h"
#include "documents/rtf_writer.h"

#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace kalvero {
namespace {

constexpr int kCellGap = 80;        // twips of padding on each side of a cell's text
constexpr int kCharWidth = 110;     // twips an average 9-point character takes
constexpr int kMinimumColumn = 360; // twips
constexpr int kPixelTwips = 15;     // twips per pixel of a chart (96 dpi)
constexpr const char* kText = "\\pard\\f0\\fs18 ";
constexpr const char* kCellText = "\\pard\\intbl\\f0\\fs18 ";

[[noreturn]] void Fail(const std::string& what) {
    throw EngineError("Cannot turn PSPP's HTML output into a Draft document: " + what);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The text between tags with its character references decoded.
std::string Decode(const std::string& text) {
    static const std::map<std::string, std::string> kNamed = {{"amp", "&"},  {"lt", "<"},
                                                              {"gt", ">"},   {"quot", "\""},
                                                              {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
            continue;
        }
        const std::size_t end = text.find(';', i);
        if (end == std::string::npos || end - i > 10)
            Fail("a lone '&' in \"" + text.substr(i, 20) + "\"");
        const std::string name = text.substr(i + 1, end - i - 1);
        if (!name.empty() && name[0] == '#') {
            const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            unsigned long code = 0;
            try {
                code = std::stoul(name.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10);
            } catch (const std::exception&) {
                Fail("the character reference &" + name + "; is not a number");
            }
            // UTF-8 of the code point.
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | (code >> 6));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (code >> 18));
                out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
        } else if (const auto known = kNamed.find(name); known != kNamed.end()) {
            out += known->second;
        } else {
            Fail("the character reference &" + name + "; is not known");
        }
        i = end;
    }
    return out;
}

struct Tag {
    std::string name; // lower case, without '/'
    bool end = false;
    std::map<std::string, std::string> attributes;

    int Number(const char* attribute) const {
        const auto found = attributes.find(attribute);
        if (found == attributes.end())
            return 1;
        try {
            return std::max(1, std::stoi(found->second));
        } catch (const std::exception&) {
            Fail(std::string(attribute) + "=\"" + found->second + "\" is not a number");
        }
    }
    std::string Attribute(const char* attribute) const {
        const auto found = attributes.find(attribute);
        return found == attributes.end() ? std::string() : Decode(found->second);
    }
};

// Reads the tag starting at html[pos] ('<'); pos ends after its '>'.
Tag ReadTag(const std::string& html, std::size_t& pos) {
    Tag tag;
    std::size_t i = pos + 1;
    if (i < html.size() && html[i] == '/') {
        tag.end = true;
        ++i;
    }
    const std::size_t nameEnd = html.find_first_of(" \t\r\n/>", i);
    if (nameEnd == std::string::npos)
        Fail("a tag is not closed");
    tag.name = Lower(html.substr(i, nameEnd - i));
    i = nameEnd;
    for (;;) {
        i = html.find_first_not_of(" \t\r\n/", i);
        if (i == std::string::npos)
            Fail("the tag <" + tag.name + "> is not closed");
        if (html[i] == '>')
            break;
        const std::size_t keyEnd = html.find_first_of("= \t\r\n>", i);
        if (keyEnd == std::string::npos)
            Fail("the tag <" + tag.name + "> is not closed");
        const std::string key = Lower(html.substr(i, keyEnd - i));
        i = keyEnd;
        std::string value;
        if (html[i] == '=') {
            ++i;
            const char quote = html[i];
            if (quote == '"' || quote == '\'') {
                const std::size_t close = html.find(quote, i + 1);
                if (close == std::string::npos)
                    Fail("an attribute of <" + tag.name + "> is not closed");
                value = html.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const std::size_t valueEnd = html.find_first_of(" \t\r\n>", i);
                value = html.substr(i, valueEnd - i);
                i = valueEnd;
            }
        }
        tag.attributes[key] = value;
    }
    pos = i + 1;
    return tag;
}

enum class Rule { None, Thin, Thick, Double, Dashed };

struct Cell {
    std::string rtf;   // its content
    std::string plain; // its text, to estimate its width
    bool header = false;
    int colspan = 1;
    int rowspan = 1;
    std::string align = "\\ql";
    std::string valign;
    Rule rules[4] = {}; // top, left, bottom, right
    std::size_t column = 0;
};

struct Row {
    std::vector<Cell> cells;
};

struct Table {
    std::string caption;
    std::vector<Row> rows;
    std::vector<std::string> footnotes;
};

void ReadStyle(const std::string& style, Cell& cell, std::string& prefix) {
    std::stringstream declarations(style);
    std::string declaration;
    while (std::getline(declarations, declaration, ';')) {
        const std::size_t colon = declaration.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Lower(Trim(declaration.substr(0, colon)));
        const std::string value = Lower(Trim(declaration.substr(colon + 1)));
        static const char* const kSides[] = {"border-top", "border-left", "border-bottom",
                                             "border-right"};
        for (int side = 0; side < 4; ++side)
            if (name == kSides[side])
                cell.rules[side] = value.find("thick") != std::string::npos    ? Rule::Thick
                                   : value.find("double") != std::string::npos ? Rule::Double
                                   : value.find("dash") != std::string::npos   ? Rule::Dashed
                                   : value.find("none") != std::string::npos   ? Rule::None
                                                                               : Rule::Thin;
        if (name == "text-align")
            cell.align = value == "center" ? "\\qc" : value == "right" ? "\\qr" : "\\ql";
        else if (name == "vertical-align")
            cell.valign = value == "middle"   ? "\\clvertalc"
                          : value == "bottom" ? "\\clvertalb"
                                              : "";
        else if (name == "font-weight" && value == "bold")
            prefix += "\\b ";
        else if (name == "font-style" && value == "italic")
            prefix += "\\i ";
    }
}

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

// Characters of the longest line of text (East Asian ones count twice).
int TextWidth(const std::string& plain) {
    int longest = 0;
    int current = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const auto byte = static_cast<unsigned char>(plain[i]);
        if (plain[i] == '\n') {
            current = 0;
            continue;
        }
        if ((byte & 0xC0) == 0x80)
            continue;
        current += byte >= 0xE3 ? 2 : 1;
        longest = std::max(longest, current);
    }
    // One character to spare, for capitals wider than the average.
    return (longest + 1) * kCharWidth + 2 * kCellGap;
}

class Converter {
public:
    Converter(const std::string& folder, const RtfPage& page) : folder_(folder), page_(page) {}

    std::string Convert(const std::string& html) {
        out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
               "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fcharset0 Courier New;}}"
               "\\paperw" +
               std::to_string(page_.width) + "\\paperh" + std::to_string(page_.height) + "\\margl" +
               std::to_string(page_.margin) + "\\margr" + std::to_string(page_.margin) + "\\margt" +
               std::to_string(page_.margin) + "\\margb" + std::to_string(page_.margin) + "\n";
        std::size_t pos = 0;
        while (pos < html.size()) {
            if (html[pos] != '<') {
                const std::size_t next = std::min(html.find('<', pos), html.size());
                Text(html.substr(pos, next - pos));
                pos = next;
                continue;
            }
            if (html.compare(pos, 4, "<!--") == 0) {
                const std::size_t end = html.find("-->", pos);
                pos = end == std::string::npos ? html.size() : end + 3;
                continue;
            }
            if (html.compare(pos, 2, "<!") == 0) {
                pos = html.find('>', pos);
                pos = pos == std::string::npos ? html.size() : pos + 1;
                continue;
            }
            const Tag tag = ReadTag(html, pos);
            if (!tag.end && (tag.name == "style" || tag.name == "title")) {
                // pspp writes its end tags in lower case.
                const std::size_t end = html.find("</" + tag.name, pos);
                pos = end == std::string::npos ? html.size() : html.find('>', end) + 1;
                continue;
            }
            Element(tag);
        }
        if (table_ || inBody_)
            Fail("the output ends inside " + std::string(table_ ? "a table" : "the body"));
        out_ += "}\n";
        return out_;
    }

private:
    // Where text goes now.
    std::string* Sink(std::string** plain) {
        *plain = nullptr;
        if (cell_) {
            *plain = &cell_->plain;
            return &cell_->rtf;
        }
        if (inCaption_)
            return &table_->caption;
        if (inBlock_)
            return &block_;
        return nullptr;
    }

    void Text(const std::string& raw) {
        if (!inBody_) {
            if (!Trim(raw).empty() && inHead_ == false)
                Fail("text outside the body: \"" + Trim(raw).substr(0, 40) + "\"");
            return;
        }
        std::string text = Decode(raw);
        std::string* plain = nullptr;
        std::string* sink = Sink(&plain);
        if (!sink) {
            if (Trim(text).empty())
                return;
            if (table_)
                Fail("text inside a table but outside its cells: \"" + Trim(text) + "\"");
            // Loose text in the body is a paragraph of its own.
            out_ += std::string("{") + kText;
            AppendRtfText(out_, Trim(text), "\\line ");
            out_ += "\\par}\n";
            return;
        }
        AppendRtfText(*sink, text, "\\line ");
        if (plain)
            *plain += text;
    }

    void Element(const Tag& tag) {
        const std::string& name = tag.name;
        if (name == "html" || name == "meta")
            return;
        if (name == "head") {
            inHead_ = !tag.end;
            return;
        }
        if (name == "body") {
            inBody_ = !tag.end;
            return;
        }
        if (!inBody_)
            Fail("the element <" + name + "> outside the body");
        if (name == "table")
            return tag.end ? EndTable() : StartTable();
        if (name == "caption") {
            RequireTable(name);
            inCaption_ = !tag.end;
            return;
        }
        if (name == "thead" || name == "tbody") {
            RequireTable(name);
            return;
        }
        if (name == "tfoot") {
            RequireTable(name);
            inFoot_ = !tag.end;
            return;
        }
        if (name == "tr") {
            RequireTable(name);
            if (!tag.end && !inFoot_)
                table_->rows.emplace_back();
            return;
        }
        if (name == "td" || name == "th")
            return tag.end ? EndCell() : StartCell(tag);
        if (name == "p" || name == "h1" || name == "h2" || name == "h3" || name == "h4" ||
            name == "pre")
            return tag.end ? EndBlock() : StartBlock(name);
        if (name == "img")
            return Picture(tag);
        if (name == "br") {
            std::string* plain = nullptr;
            if (std::string* sink = Sink(&plain)) {
                *sink += inFoot_ ? "\\par " : "\\line ";
                if (plain)
                    *plain += '\n';
            }
            return;
        }
        static const std::map<std::string, const char*> kInline = {
            {"sup", "\\super "}, {"sub", "\\sub "},  {"b", "\\b "},           {"strong", "\\b "},
            {"i", "\\i "},       {"em", "\\i "},     {"u", "\\ul "},          {"tt", "\\f1 "},
            {"code", "\\f1 "},   {"s", "\\strike "}, {"strike", "\\strike "}, {"span", ""}};
        if (const auto known = kInline.find(name); known != kInline.end()) {
            std::string* plain = nullptr;
            std::string* sink = Sink(&plain);
            if (!sink)
                Fail("the element <" + name + "> outside any text");
            if (!tag.end && name == "sup" && plain)
                *plain += ' ';
            *sink += tag.end ? std::string("}") : std::string("{") + known->second;
            return;
        }
        Fail("the element <" + name + "> is not known");
    }

    void RequireTable(const std::string& name) {
        if (!table_)
            Fail("<" + name + "> outside a table");
    }

    void StartTable() {
        if (table_)
            Fail("a table inside a table");
        table_ = std::make_unique<Table>();
    }

    void StartCell(const Tag& tag) {
        RequireTable(tag.name);
        if (cell_)
            Fail("a cell inside a cell");
        cell_ = std::make_unique<Cell>();
        cell_->header = tag.name == "th";
        cell_->colspan = tag.Number("colspan");
        cell_->rowspan = tag.Number("rowspan");
        std::string prefix;
        ReadStyle(tag.Attribute("style"), *cell_, prefix);
        cell_->rtf = prefix;
    }

    void EndCell() {
        if (!cell_)
            return;
        if (inFoot_) {
            // A footnote cell holds the footnotes, one after another.
            table_->footnotes.push_back(cell_->rtf);
        } else {
            if (table_->rows.empty())
                Fail("a cell outside a row");
            table_->rows.back().cells.push_back(std::move(*cell_));
        }
        cell_.reset();
    }

    void StartBlock(const std::string& name) {
        if (table_)
            Fail("<" + name + "> inside a table");
        inBlock_ = true;
        block_.clear();
        blockStart_ = name == "p" || name == "pre"
                          ? std::string(kText) + "\\sa60 "
                          : std::string(kText) + "\\keepn\\sb240\\sa120\\b\\fs24 ";
    }

    void EndBlock() {
        if (!inBlock_)
            return;
        out_ += "{" + blockStart_ + block_ + "\\par}\n";
        inBlock_ = false;
    }

    void Picture(const Tag& tag) {
        if (table_ || inBlock_)
            Fail("a picture inside a table or paragraph");
        std::string source = tag.Attribute("src");
        // pspp names its charts as it was given the output: by full path or
        // beside it.
        if (source.rfind(folder_ + "/", 0) == 0)
            source.erase(0, folder_.size() + 1);
        if (source.empty() || source.find('/') != std::string::npos)
            Fail("the picture \"" + source + "\" is not a file beside the output");
        const std::string path = folder_ + "/" + source;
        std::ifstream file(path, std::ios::binary);
        const std::string png{std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>()};
        static const std::string kSignature = "\x89PNG\r\n\x1a\n";
        static const std::string kEnd = std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
        if (png.size() < 33 || png.compare(0, 8, kSignature) != 0 ||
            png.compare(12, 4, "IHDR") != 0)
            Fail("the chart " + path + " is not a PNG picture");
        if (png.size() < kEnd.size() ||
            png.compare(png.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
            Fail("the chart " + path + " is incomplete");
        const auto number = [&](std::size_t at) {
            return static_cast<int>(
                static_cast<std::uint32_t>(static_cast<unsigned char>(png[at])) << 24 |
                static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16 |
                static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8 |
                static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 3])));
        };
        const int width = number(16);
        const int height = number(20);
        // At 96 dpi, narrowed to the text width.
        const int textWidth = page_.width - 2 * page_.margin;
        int goalWidth = width * kPixelTwips;
        int goalHeight = height * kPixelTwips;
        if (goalWidth > textWidth) {
            goalHeight =
                static_cast<int>(static_cast<long long>(goalHeight) * textWidth / goalWidth);
            goalWidth = textWidth;
        }
        out_ += std::string("{") + kText + "\\qc\\sb120\\keepn{\\pict\\pngblip\\picw" +
                std::to_string(width) + "\\pich" + std::to_string(height) + "\\picwgoal" +
                std::to_string(goalWidth) + "\\pichgoal" + std::to_string(goalHeight) + "\n";
        static const char kHex[] = "0123456789abcdef";
        // Two hex digits a byte, a line end every 64 bytes.
        std::size_t at = out_.size();
        out_.resize(at + png.size() * 2 + png.size() / 64);
        for (std::size_t i = 0; i < png.size(); ++i) {
            const auto byte = static_cast<unsigned char>(png[i]);
            out_[at++] = kHex[byte >> 4];
            out_[at++] = kHex[byte & 15];
            if (i % 64 == 63)
                out_[at++] = '\n';
        }
        out_ += "}\\par}\n";
        std::string title = tag.Attribute("alt");
        if (title.rfind("chart: ", 0) == 0)
            title.erase(0, 7);
        out_ += std::string("{") + kText + "\\qc\\sa240\\i ";
        AppendRtfText(out_, title, "\\line ");
        out_ += "\\par}\n";
    }

    void EndTable() {
        if (!table_)
            return;
        Table& table = *table_;
        // Which grid column each cell starts in, past the cells that reach
        // down from rows above.
        std::vector<int> below; // rows each column is still taken for
        std::size_t columns = 0;
        for (Row& row : table.rows) {
            std::size_t column = 0;
            for (Cell& cell : row.cells) {
                while (column < below.size() && below[column] > 0)
                    ++column;
                cell.column = column;
                const std::size_t end = column + static_cast<std::size_t>(cell.colspan);
                if (below.size() < end)
                    below.resize(end, 0);
                for (std::size_t c = column; c < end; ++c)
                    below[c] = cell.rowspan;
                column = end;
            }
            columns = std::max(columns, below.size());
            for (int& left : below)
                left = std::max(0, left - 1);
        }
        std::vector<int> edges; // each column's right edge
        int total = 0;
        for (const int width : ColumnWidths(table, columns))
            edges.push_back(total += width);

        const bool landscape = total > page_.width - 2 * page_.margin;
        if (landscape)
            out_ += "\\sect\\sectd\\lndscpsxn\\pgwsxn" + std::to_string(page_.height) + "\\pghsxn" +
                    std::to_string(page_.width) + "\n";
        if (!table.caption.empty())
            out_ +=
                std::string("{") + kText + "\\keepn\\sb120\\sa60\\b " + table.caption + "\\par}\n";
        // Rows of headings only, at the top, are repeated on every page.
        bool heading = table.rows.size() > 1;
        std::vector<const Cell*> reaching(columns, nullptr); // cells reaching down
        std::vector<int> reach(columns, 0);
        for (const Row& row : table.rows) {
            if (row.cells.empty() &&
                std::none_of(reach.begin(), reach.end(), [](int left) { return left > 0; }))
                continue;
            heading = heading && !row.cells.empty() &&
                      std::all_of(row.cells.begin(), row.cells.end(),
                                  [](const Cell& cell) { return cell.header; });
            std::string definition = "\\trowd\\trgaph" + std::to_string(kCellGap) + "\\trleft0";
            if (heading)
                definition += "\\trhdr";
            std::string contents;
            std::size_t next = 0;
            std::size_t column = 0;
            while (column < columns) {
                const Cell* cell = nullptr;
                bool continued = false;
                if (reach[column] > 0) {
                    cell = reaching[column];
                    continued = true;
                } else if (next < row.cells.size() && row.cells[next].column == column) {
                    cell = &row.cells[next++];
                }
                if (!cell) {
                    // A row shorter than the table: an empty cell fills it.
                    definition += "\\cellx" + std::to_string(edges[column]);
                    contents += std::string(kCellText) + "\\cell\n";
                    ++column;
                    continue;
                }
                const std::size_t last =
                    std::min(columns, column + static_cast<std::size_t>(cell->colspan)) - 1;
                if (continued)
                    definition += "\\clvmrg";
                else if (cell->rowspan > 1)
                    definition += "\\clvmgf";
                definition += cell->valign;
                static const char* const kSides[] = {"\\clbrdrt", "\\clbrdrl", "\\clbrdrb",
                                                     "\\clbrdrr"};
                for (int side = 0; side < 4; ++side)
                    if (cell->rules[side] != Rule::None)
                        definition += std::string(kSides[side]) + RuleRtf(cell->rules[side]);
                definition += "\\cellx" + std::to_string(edges[last]);
                contents += std::string(kCellText) + cell->align + " ";
                if (!continued)
                    contents += "{" + cell->rtf + "}";
                contents += "\\cell\n";
                if (!continued && cell->rowspan > 1)
                    for (std::size_t c = column; c <= last; ++c) {
                        reaching[c] = cell;
                        reach[c] = cell->rowspan;
                    }
                column = last + 1;
            }
            for (int& left : reach)
                left = std::max(0, left - 1);
            out_ += definition + "\n" + contents + "\\row\n";
        }
        for (const std::string& footnote : table.footnotes)
            out_ += std::string("{") + kText + "\\fs16 " + footnote + "\\par}\n";
        out_ += std::string("{") + kText + "\\sa120\\par}\n";
        if (landscape)
            out_ += "\\sect\\sectd\\pgwsxn" + std::to_string(page_.width) + "\\pghsxn" +
                    std::to_string(page_.height) + "\n";
        table_.reset();
    }

    // Each column as wide as its widest text, cells across columns spread
    // over them, all narrowed together where the page is too narrow.
    std::vector<int> ColumnWidths(const Table& table, std::size_t columns) const {
        std::vector<int> widths(columns, kMinimumColumn);
        for (const Row& row : table.rows)
            for (const Cell& cell : row.cells)
                if (cell.colspan == 1 && cell.column < columns)
                    widths[cell.column] = std::max(widths[cell.column], TextWidth(cell.plain));
        for (const Row& row : table.rows)
            for (const Cell& cell : row.cells) {
                if (cell.colspan == 1)
                    continue;
                const std::size_t end =
                    std::min(columns, cell.column + static_cast<std::size_t>(cell.colspan));
                int spanned = 0;
                for (std::size_t c = cell.column; c < end; ++c)
                    spanned += widths[c];
                const int missing = TextWidth(cell.plain) - spanned;
                if (missing > 0 && end > cell.column)
                    for (std::size_t c = cell.column; c < end; ++c)
                        widths[c] += missing / static_cast<int>(end - cell.column) + 1;
            }
        int total = 0;
        for (const int width : widths)
            total += width;
        const int portrait = page_.width - 2 * page_.margin;
        const int landscape = page_.height - 2 * page_.margin;
        if (total > portrait && total > landscape)
            for (int& width : widths)
                width = std::max(
                    1, static_cast<int>(static_cast<long long>(width) * landscape / total));
        return widths;
    }

    std::string folder_;
    RtfPage page_;
    std::string out_;
    bool inHead_ = false;
    bool inBody_ = false;
    bool inCaption_ = false;
    bool inFoot_ = false;
    bool inBlock_ = false;
    std::string block_;
    std::string blockStart_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Cell> cell_;
};

} // namespace

RtfPage PageForLocale() {
    if (QLocale::system().measurementSystem() == QLocale::ImperialUSSystem)
        return RtfPage{12240, 15840, 1080}; // Letter, 0.75 inch
    return RtfPage{};
}

std::string HtmlToRtf(const std::string& html, const std::string& folder, const RtfPage& page) {
    return Converter(folder, page).Convert(html);
}

} // namespace kalvero
