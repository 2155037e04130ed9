// Draft documents written by the engine with real pspp, read back by
// LibreOffice, AbiWord, pandoc and unrtf: every text of pspp's own HTML of
// the same syntax found in order, every chart shown, no blank page, and no
// number broken across lines where LibreOffice prints it.
//
// pandoc 2.17 and unrtf 0.21 read a character beyond U+FFFF (two \u escapes,
// a surrogate pair) as two replacement characters, a fault of theirs
// (LibreOffice and AbiWord read it), so these samples hold none.
#include "batch/statistics_engine.h"
#include "engine/pspp_engine.h"
#include "tests/support/draft_readers.h"
#include "tests/support/pspp_test_support.h"

#include <QRegularExpression>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace kalvero {
namespace {

using ::testing::IsEmpty;
using testing::ReadFile;
using testing::WriteFile;

const std::string kSamples = KALVERO_DRAFT_SAMPLES;

std::string Columns(int count) {
    std::string syntax =
        "DATA LIST LIST /v01 TO v" + std::to_string(count) + " (F8.2).\nBEGIN DATA\n";
    for (int row = 1; row <= 2; ++row) {
        for (int c = 1; c <= count; ++c)
            syntax += std::to_string(c * row * 101) + "." + std::to_string(c % 10) + " ";
        syntax += "\n";
    }
    return syntax + "END DATA.\nLIST.\nDESCRIPTIVES v01 TO v09 /STATISTICS=ALL.\n";
}

// The syntax files, by name: pspp's tables of many kinds, charts, text of
// several scripts, an empty output.
std::vector<std::pair<std::string, std::string>> Samples() {
    return {
        {"merged", ReadFile(kSamples + "/merged.sps")},
        {"wide", ReadFile(kSamples + "/wide.sps")},
        {"columns40", Columns(40)},
        {"layers", "DATA LIST LIST /a b c (F8.0).\nBEGIN DATA\n1 1 1\n1 2 2\n2 1 1\n2 2 2\n"
                   "1 1 2\n2 2 1\nEND DATA.\nCROSSTABS /TABLES=a BY b BY c /CELLS=COUNT ROW.\n"
                   "CORRELATIONS /VARIABLES=a b c.\n"},
        // Windows-1252 (U+20AC, U+2013, U+201C), Latin-1 and beyond.
        {"scripts", "DATA LIST LIST /x y (F8.0).\nBEGIN DATA\n1 2\n2 3\nEND DATA.\n"
                    "VARIABLE LABELS x 'Gr\xC3\xBC\xC3\x9F aus K\xC3\xB6ln \xE2\x80\x93 "
                    "\xE2\x80\x9C\xE2\x82\xAC\xE2\x80\x9D' y '\xE6\x9D\xB1\xE4\xBA\xAC "
                    "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xD0\x96'.\n"
                    "DESCRIPTIVES x y.\nECHO 'na\xC3\xAFve caf\xC3\xA9, \xE2\x94\x82 end'.\n"},
        {"empty", "SET DECIMAL=DOT.\n"},
    };
}

// Numbers of the HTML that do not stand whole on one line of what was
// printed: cut by a line break inside their cell.
std::vector<std::string> BrokenNumbers(const std::vector<std::string>& texts,
                                       const std::string& printed) {
    std::set<std::string> words;
    std::istringstream stream(printed);
    for (std::string word; stream >> word;)
        words.insert(word);
    static const QRegularExpression kNumber(QStringLiteral("^-?[0-9.,]*[0-9][0-9.,%]*$"));
    std::vector<std::string> broken;
    for (const std::string& text : texts)
        if (kNumber.match(QString::fromStdString(text)).hasMatch() && !words.count(text))
            broken.push_back(text);
    return broken;
}

TEST(DraftDocument, EveryReaderFindsWhatPsppWroteOnPagesThatAreNotBlank) {
    if (const std::string missing = testing::MissingDraftReaders(); !missing.empty())
        GTEST_SKIP() << "missing readers of Draft documents: " << missing;
    testing::EngineTestFolder folder;
    auto engine = PsppEngineFactory().CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(1);
    std::vector<std::string> drafts;
    std::vector<std::string> htmls;
    for (const auto& [name, syntax] : Samples()) {
        const std::string file = WriteFile(folder.Path("drafts/" + name + ".sps"), syntax);
        engine->RunSyntaxFile(file, true);
        auto document = engine->CurrentDraftDocument();
        drafts.push_back(folder.Path("drafts/" + name + ".rtf"));
        document->SaveDocument(drafts.back());
        document->CloseDocument();
        // pspp's own HTML of the same file, run from its folder so that its
        // messages name it as the Draft does.
        WriteFile(folder.Path("html/" + name + ".sps"), syntax);
        testing::Command pspp;
        pspp.program = "pspp";
        pspp.arguments = {"-o", name + ".html", "-O", "format=html", name + ".sps"};
        pspp.folder = folder.Path("html");
        testing::RunCommand(pspp);
        htmls.push_back(ReadFile(folder.Path("html/" + name + ".html")));
    }
    engine->QuitEngine();

    const auto readings = testing::ReadDrafts(drafts);
    for (std::size_t d = 0; d < drafts.size(); ++d) {
        const std::vector<testing::HtmlBlock> blocks = testing::HtmlTexts(htmls[d]);
        const std::vector<std::string> texts = testing::AllTexts(blocks);
        EXPECT_EQ(texts.empty(), Samples()[d].first == "empty") << drafts[d];
        for (const testing::DraftReading& reading : readings[d]) {
            SCOPED_TRACE(reading.reader + " reading " + drafts[d]);
            EXPECT_TRUE(reading.opened);
            EXPECT_THAT(testing::MissingInOrder(blocks, reading.text), IsEmpty());
            std::size_t charts = 0;
            for (std::size_t at = htmls[d].find("<img "); at != std::string::npos;
                 at = htmls[d].find("<img ", at + 1))
                ++charts;
            if (reading.pictures >= 0) {
                EXPECT_EQ(reading.pictures, static_cast<int>(charts));
            }
            if (reading.pages >= 0) {
                EXPECT_EQ(reading.pages, std::max(1, reading.pagesShown)) << "a blank page";
                EXPECT_THAT(BrokenNumbers(texts, reading.printed), IsEmpty());
            }
        }
    }
}

} // namespace
} // namespace kalvero
