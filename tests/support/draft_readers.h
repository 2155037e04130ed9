// Draft documents read back by the word processors and converters people
// use, none of which owes anything to their writer: LibreOffice (its text
// export, and its PDF for pages and pictures), AbiWord (its HTML export),
// pandoc (RTF to HTML) and unrtf (RTF to HTML, its entities decoded by
// pandoc). Each reader runs once over many documents where it can (one
// LibreOffice start for a whole batch), in a folder of its own.
#pragma once

#include <string>
#include <vector>

namespace kalvero::testing {

struct DraftReading {
    std::string reader; // "LibreOffice", "AbiWord", "pandoc", "unrtf"
    // UTF-8, as the reader shows it, empty when it could not open it; where
    // the reader writes HTML, \x01 and \x02 mark where its tables start and end.
    std::string text;
    int pictures = -1;   // -1 where the reader's output does not show them
    int pages = -1;      // printed pages (LibreOffice's PDF only)
    int pagesShown = -1; // of those, pages that show some text or a picture
    std::string printed; // the PDF's text, as lines are set (LibreOffice only)
    bool opened = false; // the reader read the document without failing
};

// The readers that are not installed, with their Debian packages, or empty.
std::string MissingDraftReaders();

// Every reader's reading of every document: result[d] holds document d's
// readings, one per reader, in the order above.
std::vector<std::vector<DraftReading>> ReadDrafts(const std::vector<std::string>& documents);

// What pspp's HTML shows as text, character references decoded and markup
// left out: paragraphs, chart titles and tables in order, a table as its rows
// of texts (its caption the first row, its footnotes the last).
struct HtmlBlock {
    bool table = false;
    std::vector<std::vector<std::string>> rows;
};
std::vector<HtmlBlock> HtmlTexts(const std::string& html);
// All texts of the blocks, in order.
std::vector<std::string> AllTexts(const std::vector<HtmlBlock>& blocks);

// The texts that read lacks, white space ignored (readers wrap lines and lay
// out cells as they like). Blocks follow one another; in a table each row
// starts after the start of the row before it and holds its texts in order,
// so that a table set in column groups, each repeating the row headings,
// reads as whole. A paragraph that a reader shows inside a table is missing
// too ("... (in a table)").
std::vector<std::string> MissingInOrder(const std::vector<HtmlBlock>& blocks,
                                        const std::string& read);

} // namespace kalvero::testing
