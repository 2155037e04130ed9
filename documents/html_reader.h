// pspp's HTML output (-O format=html) as a sequence of text runs and tags,
// comments, the doctype and the contents of <style> and <title> left out.
// pspp writes a small, fixed set of elements; what cannot be read is an
// EngineError naming it, never a guess.
#pragma once

#include <map>
#include <string>

namespace kalvero {

// Throws EngineError: "Cannot turn PSPP's HTML output into a Draft
// document: " what.
[[noreturn]] void FailDraft(const std::string& what);

std::string Lower(std::string text);
std::string Trim(const std::string& text);

// Text between tags with its character references decoded to UTF-8 and its
// line ends made blanks.
std::string DecodeHtmlText(const std::string& text);

struct Tag {
    std::string name; // lower case, without '/'
    bool end = false;
    std::map<std::string, std::string> attributes; // names in lower case

    // A positive number (colspan, rowspan): 1 when absent, at most limit.
    int Number(const char* attribute, int limit) const;
    // The attribute's value decoded, empty when absent.
    std::string Attribute(const char* attribute) const;
};

class HtmlReader {
public:
    explicit HtmlReader(const std::string& html) : html_(html) {}

    // Reads the next text run (isTag false, text raw) or tag; false at the
    // end of the HTML.
    bool Next(bool& isTag, std::string& text, Tag& tag);

private:
    Tag ReadTag();
    void SkipContent(const std::string& name);

    const std::string& html_;
    std::size_t pos_ = 0;
};

} // namespace kalvero
