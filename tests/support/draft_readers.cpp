#include "tests/support/draft_readers.h"

#include "tests/support/pspp_test_support.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

namespace kalvero::testing {
namespace {

std::string Find(const char* program) {
    return QStandardPaths::findExecutable(QString::fromLatin1(program)).toStdString();
}

std::string BaseName(const std::string& document) {
    const std::string name = document.substr(document.rfind('/') + 1);
    return name.substr(0, name.rfind('.'));
}

// Text of an HTML page, markup left out and character references decoded.
std::string HtmlToText(const std::string& html) {
    QString text = QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size()));
    text.remove(QRegularExpression(QStringLiteral("<head.*</head>"),
                                   QRegularExpression::DotMatchesEverythingOption));
    text.replace(QRegularExpression(QStringLiteral("<table\\b")), QStringLiteral("\x01<"));
    text.replace(QStringLiteral("</table>"), QStringLiteral("\x02"));
    text.replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
    QString decoded;
    const QRegularExpression reference(QStringLiteral("&(#[0-9]+|#x[0-9a-fA-F]+|[a-z]+);"));
    qsizetype at = 0;
    for (const QRegularExpressionMatch& match : reference.globalMatch(text)) {
        decoded += text.mid(at, match.capturedStart() - at);
        const QString name = match.captured(1);
        bool ok = false;
        const uint code = name.startsWith(QStringLiteral("#x")) ? name.mid(2).toUInt(&ok, 16)
                          : name.startsWith(QLatin1Char('#'))   ? name.mid(1).toUInt(&ok, 10)
                          : name == QStringLiteral("amp")       ? '&'
                          : name == QStringLiteral("lt")        ? '<'
                          : name == QStringLiteral("gt")        ? '>'
                          : name == QStringLiteral("quot")      ? '"'
                          : name == QStringLiteral("nbsp")      ? 0xA0
                                                                : 0xFFFD;
        const char32_t character = static_cast<char32_t>(code);
        decoded += QString::fromUcs4(&character, 1);
        at = match.capturedEnd();
    }
    decoded += text.mid(at);
    return decoded.toStdString();
}

DraftReading Reading(const char* reader, std::string text, int pictures, bool opened) {
    DraftReading reading;
    reading.reader = reader;
    reading.text = std::move(text);
    reading.pictures = pictures;
    reading.opened = opened;
    return reading;
}

CommandResult Run(const char* program, const std::vector<std::string>& arguments,
                  const std::string& input = {}) {
    Command command;
    command.program = Find(program);
    command.arguments = arguments;
    command.input = input;
    return RunCommand(command);
}

int Count(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// LibreOffice: its text export for the text, its PDF for pages and pictures.
void ReadWithLibreOffice(const std::vector<std::string>& documents,
                         std::vector<std::vector<DraftReading>>& readings) {
    const std::vector<std::string> texts = ReadBackWithLibreOffice(documents, "txt:Text");
    const QTemporaryDir folder;
    const std::string pdfs = folder.path().toStdString();
    ConvertWithLibreOffice(documents, "pdf", pdfs);
    for (std::size_t d = 0; d < documents.size(); ++d) {
        const std::string pdf = pdfs + "/" + BaseName(documents[d]) + ".pdf";
        DraftReading reading = Reading("LibreOffice", texts[d], 0, Exists(pdf));
        int status = 0;
        std::istringstream info(RunProgram(Find("pdfinfo"), {pdf}, status));
        for (std::string line; std::getline(info, line);)
            if (line.rfind("Pages:", 0) == 0)
                reading.pages = std::stoi(line.substr(6));
        // Pages end with a form feed in pdftotext's output.
        reading.printed = RunProgram(Find("pdftotext"), {pdf, "-"}, status);
        std::vector<bool> shown(static_cast<std::size_t>(std::max(0, reading.pages)), false);
        std::size_t page = 0;
        for (const char c : reading.printed) {
            if (c == '\f')
                ++page;
            else if (!std::isspace(static_cast<unsigned char>(c)) && page < shown.size())
                shown[page] = true;
        }
        std::istringstream images(RunProgram(Find("pdfimages"), {"-list", pdf}, status));
        for (std::string line; std::getline(images, line);) {
            std::istringstream fields(line);
            std::size_t number = 0;
            int index = 0;
            std::string type;
            if (fields >> number >> index >> type && type == "image" && number >= 1) {
                ++reading.pictures;
                if (number <= shown.size())
                    shown[number - 1] = true;
            }
        }
        reading.pagesShown = static_cast<int>(std::count(shown.begin(), shown.end(), true));
        readings[d].push_back(reading);
    }
}

// AbiWord: one run exports every document as HTML beside a copy of it.
void ReadWithAbiWord(const std::vector<std::string>& documents,
                     std::vector<std::vector<DraftReading>>& readings) {
    const QTemporaryDir folder;
    const std::string here = folder.path().toStdString();
    Command command;
    command.program = Find("abiword");
    command.arguments = {"--to=html"};
    command.folder = here;
    command.environment = {{"HOME", here}};
    for (const std::string& document : documents)
        command.arguments.push_back(
            WriteFile(here + "/" + BaseName(document) + ".rtf", ReadFile(document)));
    RunCommand(command);
    for (std::size_t d = 0; d < documents.size(); ++d) {
        const std::string html = ReadFile(here + "/" + BaseName(documents[d]) + ".html");
        readings[d].push_back(Reading("AbiWord", HtmlToText(html), Count(html, "<img"),
                                      html.find("<body") != std::string::npos));
    }
}

// pandoc, and unrtf with pandoc decoding its HTML: one run a document.
void ReadWithPandocAndUnrtf(const std::vector<std::string>& documents,
                            std::vector<std::vector<DraftReading>>& readings) {
    for (std::size_t d = 0; d < documents.size(); ++d) {
        const CommandResult pandoc =
            Run("pandoc", {"-f", "rtf", "-t", "html", "--wrap=none", documents[d]});
        readings[d].push_back(Reading("pandoc", HtmlToText(pandoc.output),
                                      Count(pandoc.output, "<img"), pandoc.exitCode == 0));
        // unrtf writes HTML's named entities (&uuml;): pandoc knows them all.
        // --nopict: unrtf would write the pictures into the working folder.
        const CommandResult unrtf = Run("unrtf", {"--html", "--nopict", documents[d]});
        const CommandResult decoded =
            Run("pandoc", {"-f", "html", "-t", "html", "--wrap=none"}, unrtf.output);
        readings[d].push_back(Reading("unrtf", HtmlToText(decoded.output), -1,
                                      unrtf.exitCode == 0 && !unrtf.output.empty()));
    }
}

} // namespace

std::string MissingDraftReaders() {
    std::string missing;
    const char* const kPrograms[][2] = {{"soffice", "libreoffice-writer-nogui"},
                                        {"pdfinfo", "poppler-utils"},
                                        {"abiword", "abiword"},
                                        {"pandoc", "pandoc"},
                                        {"unrtf", "unrtf"}};
    for (const auto& [program, package] : kPrograms)
        if (Find(program).empty())
            missing += std::string(missing.empty() ? "" : ", ") + program + " (Debian package " +
                       package + ")";
    return missing;
}

std::vector<std::vector<DraftReading>> ReadDrafts(const std::vector<std::string>& documents) {
    std::vector<std::vector<DraftReading>> readings(documents.size());
    ReadWithLibreOffice(documents, readings);
    ReadWithAbiWord(documents, readings);
    ReadWithPandocAndUnrtf(documents, readings);
    return readings;
}

std::vector<HtmlBlock> HtmlTexts(const std::string& html) {
    const QString source = QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size()));
    static const QRegularExpression kElement(
        QStringLiteral("<(/?)(table|tr)\\b|<(caption|t[dh]|p|h[1-6]|pre)\\b[^>]*>(.*?)</\\3>|"
                       "<img [^>]*alt=\"(?:chart: )?([^\"]*)\""),
        QRegularExpression::DotMatchesEverythingOption);
    std::vector<HtmlBlock> blocks;
    bool inTable = false;
    for (const QRegularExpressionMatch& match : kElement.globalMatch(source)) {
        const QString element = match.captured(2);
        if (element == QStringLiteral("table")) {
            inTable = match.captured(1).isEmpty();
            if (inTable)
                blocks.push_back({true, {}});
            continue;
        }
        if (element == QStringLiteral("tr")) {
            if (inTable && match.captured(1).isEmpty())
                blocks.back().rows.emplace_back();
            continue;
        }
        const QString content = match.captured(3).isEmpty() ? match.captured(5) : match.captured(4);
        const std::string text = HtmlToText(content.toStdString());
        if (text.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        if (!inTable)
            blocks.push_back({false, {{text}}});
        else if (match.captured(3) == QStringLiteral("caption") || blocks.back().rows.empty())
            blocks.back().rows.push_back({text});
        else
            blocks.back().rows.back().push_back(text);
    }
    return blocks;
}

std::vector<std::string> AllTexts(const std::vector<HtmlBlock>& blocks) {
    std::vector<std::string> texts;
    for (const HtmlBlock& block : blocks)
        for (const auto& row : block.rows)
            texts.insert(texts.end(), row.begin(), row.end());
    return texts;
}

std::vector<std::string> MissingInOrder(const std::vector<HtmlBlock>& blocks,
                                        const std::string& read) {
    // White space, no-break spaces included, left out on both sides.
    const auto squeeze = [](const std::string& text) {
        QString squeezed = QString::fromStdString(text);
        squeezed.remove(QRegularExpression(QStringLiteral("[\\s\\x{a0}]+"),
                                           QRegularExpression::UseUnicodePropertiesOption));
        return squeezed.toStdString();
    };
    const std::string haystack = squeeze(read);
    std::vector<std::string> missing;
    std::size_t at = 0; // where the next block may start
    for (const HtmlBlock& block : blocks) {
        std::size_t rowStart = at;
        std::size_t end = at;
        for (const auto& row : block.rows) {
            std::size_t from = rowStart;
            bool first = true;
            for (const std::string& text : row) {
                const std::string needle = squeeze(text);
                const std::size_t found = haystack.find(needle, from);
                if (found == std::string::npos) {
                    missing.push_back(text);
                    continue;
                }
                from = found + needle.size();
                end = std::max(end, from);
                const std::size_t mark = haystack.find_last_of("\x01\x02", found);
                if (!block.table && mark != std::string::npos && haystack[mark] == '\x01')
                    missing.push_back(text + " (in a table)");
                if (first)
                    rowStart = from;
                first = false;
            }
        }
        at = end;
    }
    return missing;
}

} // namespace kalvero::testing
