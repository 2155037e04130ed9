// A Draft document from pspp's HTML output (-O format=html): tables become
// RTF tables (draft_table.h: merged cells, heading rows marked to repeat on
// each page, rows kept whole, alignment and rules as pspp draws them, the
// caption centred above and footnotes below), charts become PNG pictures at
// their place with their title (draft_picture.h), and messages stay
// paragraphs in pspp's words. The document is pure ASCII (rtf_writer.h);
// every section and the body hold at least one paragraph, as RTF requires.
//
// pspp writes a small, fixed set of elements; this reads exactly that set
// (html_reader.h) and throws EngineError naming what it does not understand
// rather than dropping it.
#pragma once

#include <string>

namespace kalvero {

// Page size and margins in twips.
struct RtfPage {
    int width = 11906; // A4
    int height = 16838;
    int margin = 1134; // 2 cm
};

// A4, or Letter where the locale measures in inches (the United States).
RtfPage PageForLocale();

// html is pspp's HTML; its pictures are read from folder. A table wider than
// the page is set on a landscape page, in column groups that repeat the row
// headings where even that is too narrow.
std::string HtmlToRtf(const std::string& html, const std::string& folder, const RtfPage& page);

} // namespace kalvero
