#include "documents/html_to_rtf.h"

#include "documents/draft_picture.h"
#include "documents/draft_table.h"
#include "documents/html_reader.h"
#include "documents/rtf_writer.h"

#include <QLocale>

#include <map>
#include <memory>

namespace kalvero {
namespace {

constexpr const char* kText = "\\pard\\plain\\f0\\fs18";

class Converter {
public:
    Converter(const std::string& folder, const RtfPage& page) : folder_(folder), page_(page) {
        out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
               "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fcharset0 Courier New;}}"
               "\\paperw" +
               std::to_string(page_.width) + "\\paperh" + std::to_string(page_.height) + "\\margl" +
               std::to_string(page_.margin) + "\\margr" + std::to_string(page_.margin) + "\\margt" +
               std::to_string(page_.margin) + "\\margb" + std::to_string(page_.margin) + "\n";
    }

    std::string Convert(const std::string& html) {
        HtmlReader reader(html);
        bool isTag = false;
        std::string text;
        Tag tag;
        while (reader.Next(isTag, text, tag)) {
            if (isTag)
                Element(tag);
            else
                Text(text);
        }
        if (table_ || inBody_)
            FailDraft("the output ends inside " + std::string(table_ ? "a table" : "the body"));
        // Every document, every section holds a paragraph.
        if (!started_)
            Content(false) += std::string("{") + kText + "\\par}\n";
        out_ += "}\n";
        return std::move(out_);
    }

private:
    int PortraitWidth() const { return page_.width - 2 * page_.margin; }
    int LandscapeWidth() const { return page_.height - 2 * page_.margin; }

    // The document, where content for a portrait or landscape page goes next.
    // A section starts only with its first content, so none is empty.
    std::string& Content(bool landscape) {
        if (started_ && landscape == landscape_)
            return out_;
        if (started_)
            out_ += "\\sect";
        started_ = true;
        landscape_ = landscape;
        const int width = landscape ? page_.height : page_.width;
        const int height = landscape ? page_.width : page_.height;
        out_ += std::string("\\sectd") + (landscape ? "\\lndscpsxn" : "") + "\\pgwsxn" +
                std::to_string(width) + "\\pghsxn" + std::to_string(height) + "\n";
        return out_;
    }

    // Where text goes now, and its plain text where it is measured.
    std::string* Sink(std::string** plain) {
        *plain = nullptr;
        if (cell_) {
            *plain = &cell_->plain;
            return &cell_->rtf;
        }
        if (inCaption_) {
            *plain = &table_->captionPlain;
            return &table_->caption;
        }
        if (inBlock_)
            return &block_;
        return nullptr;
    }

    void Text(const std::string& raw) {
        if (!inBody_) {
            if (!Trim(raw).empty() && !inHead_)
                FailDraft("text outside the body: \"" + Trim(raw).substr(0, 40) + "\"");
            return;
        }
        const std::string text = DecodeHtmlText(raw);
        std::string* plain = nullptr;
        std::string* sink = Sink(&plain);
        if (!sink) {
            if (Trim(text).empty())
                return;
            if (table_)
                FailDraft("text inside a table but outside its cells: \"" + Trim(text) + "\"");
            // Loose text in the body is a paragraph of its own.
            std::string& out = Content(false);
            out += std::string("{") + kText + " ";
            AppendRtfText(out, Trim(text), "\\line ");
            out += "\\par}\n";
            return;
        }
        AppendRtfText(*sink, text, "\\line ");
        if (plain)
            *plain += text;
    }

    void Element(const Tag& tag);
    void TableElement(const Tag& tag);
    void InlineElement(const Tag& tag);
    void StartCell(const Tag& tag);
    void EndCell();
    void StartBlock(const std::string& name);
    void EndBlock();
    void Picture(const Tag& tag);
    void EndTable();

    // Closes the inline groups (<b>, <sup>...) left open in the current
    // text, before it ends or another begins.
    void CloseInline() {
        std::string* plain = nullptr;
        if (std::string* sink = Sink(&plain))
            sink->append(static_cast<std::size_t>(openInline_), '}');
        openInline_ = 0;
    }

    void RequireTable(const std::string& name) {
        if (!table_)
            FailDraft("<" + name + "> outside a table");
    }

    std::string folder_;
    RtfPage page_;
    std::string out_;
    bool started_ = false; // a section has begun
    bool landscape_ = false;
    bool inHead_ = false;
    bool inBody_ = false;
    bool inCaption_ = false;
    bool inFoot_ = false;
    bool inBlock_ = false;
    std::string block_;
    std::string blockStart_;
    std::unique_ptr<DraftTable> table_;
    std::unique_ptr<DraftCell> cell_;
    int openInline_ = 0;
};

void Converter::Element(const Tag& tag) {
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
        FailDraft("the element <" + name + "> outside the body");
    static const char* const kTableElements[] = {"table", "caption", "thead", "tbody",
                                                 "tfoot", "tr",      "td",    "th"};
    for (const char* element : kTableElements)
        if (name == element)
            return TableElement(tag);
    if (name == "p" || name == "h1" || name == "h2" || name == "h3" || name == "h4" ||
        name == "pre")
        return tag.end ? EndBlock() : StartBlock(name);
    if (name == "img")
        return Picture(tag);
    InlineElement(tag);
}

void Converter::TableElement(const Tag& tag) {
    const std::string& name = tag.name;
    if (name == "table") {
        if (tag.end)
            return EndTable();
        if (table_)
            FailDraft("a table inside a table");
        if (inBlock_)
            FailDraft("a table inside a paragraph");
        table_ = std::make_unique<DraftTable>();
        return;
    }
    RequireTable(name);
    if (name == "caption") {
        CloseInline();
        inCaption_ = !tag.end;
        if (inCaption_) {
            DraftCell style;
            ReadCellStyle(tag.Attribute("style"), style, table_->caption);
            table_->captionAlign = style.align;
            table_->captionBold = style.bold;
        }
    } else if (name == "tfoot") {
        inFoot_ = !tag.end;
    } else if (name == "tr") {
        if (!tag.end && !inFoot_)
            table_->rows.emplace_back();
    } else if (name == "td" || name == "th") {
        tag.end ? EndCell() : StartCell(tag);
    }
}

void Converter::InlineElement(const Tag& tag) {
    const std::string& name = tag.name;
    std::string* plain = nullptr;
    std::string* sink = Sink(&plain);
    if (name == "br") {
        if (sink) {
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
    const auto known = kInline.find(name);
    if (known == kInline.end())
        FailDraft("the element <" + name + "> is not known");
    if (!sink)
        FailDraft("the element <" + name + "> outside any text");
    if (!tag.end && name == "sup" && plain)
        *plain += ' ';
    if (!tag.end) {
        *sink += std::string("{") + known->second;
        ++openInline_;
    } else if (openInline_ > 0) { // an end tag without its start is left out
        *sink += "}";
        --openInline_;
    }
}

void Converter::StartCell(const Tag& tag) {
    if (cell_)
        FailDraft("a cell inside a cell");
    CloseInline();
    if (!inFoot_ && table_->rows.empty())
        FailDraft("a cell outside a row");
    cell_ = std::make_unique<DraftCell>();
    cell_->header = tag.name == "th";
    // The limits of HTML's own table model.
    cell_->colspan = tag.Number("colspan", 1000);
    cell_->rowspan = tag.Number("rowspan", 65534);
    ReadCellStyle(tag.Attribute("style"), *cell_, cell_->rtf);
}

void Converter::EndCell() {
    if (!cell_)
        return;
    CloseInline();
    if (inFoot_) // a footnote cell holds the footnotes, one after another
        table_->footnotes.push_back(cell_->rtf);
    else if (table_->rows.empty())
        FailDraft("a cell outside a row");
    else
        table_->rows.back().cells.push_back(std::move(*cell_));
    cell_.reset();
}

void Converter::StartBlock(const std::string& name) {
    if (table_)
        FailDraft("<" + name + "> inside a table");
    EndBlock(); // a paragraph not closed ends where the next begins
    inBlock_ = true;
    block_.clear();
    blockStart_ = name == "p" || name == "pre"
                      ? std::string(kText) + "\\sa60 "
                      : std::string(kText) + "\\keepn\\sb240\\sa120\\b\\fs24 ";
}

void Converter::EndBlock() {
    if (!inBlock_)
        return;
    CloseInline();
    Content(false) += "{" + blockStart_ + block_ + "\\par}\n";
    inBlock_ = false;
}

void Converter::Picture(const Tag& tag) {
    if (table_ || inBlock_)
        FailDraft("a picture inside a table or paragraph");
    std::string source = tag.Attribute("src");
    // pspp names its charts as it was given the output: by full path or
    // beside it.
    if (source.rfind(folder_ + "/", 0) == 0)
        source.erase(0, folder_.size() + 1);
    if (source.empty() || source.find('/') != std::string::npos)
        FailDraft("the picture \"" + source + "\" is not a file beside the output");
    std::string& out = Content(false);
    out += std::string("{") + kText + "\\qc\\sb120\\keepn ";
    AppendPicture(out, folder_ + "/" + source, PortraitWidth());
    out += "\\par}\n";
    std::string title = tag.Attribute("alt");
    if (title.rfind("chart: ", 0) == 0)
        title.erase(0, 7);
    out += std::string("{") + kText + "\\qc\\sa240\\i ";
    AppendRtfText(out, title, "\\line ");
    out += "\\par}\n";
}

// The caption centred over the table (or as pspp aligns it), the table in
// one part or in column groups, the footnotes below.
void Converter::EndTable() {
    if (!table_)
        return;
    if (cell_ || inCaption_)
        FailDraft(std::string("a table ends inside its ") + (cell_ ? "cell" : "caption"));
    inFoot_ = false;
    const DraftTable& table = *table_;
    const CellGrid grid = PlaceCells(table);
    const TableLayout layout = LayOutTable(table, grid, PortraitWidth(), LandscapeWidth());
    std::string& out = Content(layout.landscape);
    const int textWidth = layout.landscape ? LandscapeWidth() : PortraitWidth();
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        const TablePart& part = layout.parts[i];
        if (i > 0) {
            out += std::string("{") + kText + "\\sa120\\par}\n";
        } else if (!table.caption.empty()) {
            // Centred over the table, or over the caption where it is wider.
            const int width =
                std::max(part.Width(), TextTwips(table.captionPlain, table.captionBold));
            out += std::string("{") + kText + "\\keepn\\sb120\\sa60" + table.captionAlign + "\\ri" +
                   std::to_string(std::max(0, textWidth - width)) + " " + table.caption +
                   "\\par}\n";
        }
        AppendTableRows(out, table, grid, part);
    }
    for (const std::string& footnote : table.footnotes)
        out += std::string("{") + kText + "\\fs16 " + footnote + "\\par}\n";
    out += std::string("{") + kText + "\\sa120\\par}\n";
    table_.reset();
}

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
