#include "documents/html_reader.h"

#include "batch/statistics_engine.h"

#include <algorithm>
#include <stdexcept>

namespace kalvero {
namespace {

void AppendUtf8(std::string& out, unsigned long code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
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
}

void AppendReference(std::string& out, const std::string& name) {
    static const std::map<std::string, std::string> kNamed = {{"amp", "&"},  {"lt", "<"},
                                                              {"gt", ">"},   {"quot", "\""},
                                                              {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") != std::string::npos)
            FailDraft("the character reference &" + name + "; is not a number");
        AppendUtf8(out, std::stoul(digits, nullptr, hex ? 16 : 10));
    } else if (const auto known = kNamed.find(name); known != kNamed.end()) {
        out += known->second;
    } else {
        FailDraft("the character reference &" + name + "; is not known");
    }
}

} // namespace

void FailDraft(const std::string& what) {
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

std::string DecodeHtmlText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
            continue;
        }
        // References are short; at most 8 hex digits fit the limit.
        const std::size_t end = text.find(';', i);
        if (end == std::string::npos || end - i > 10)
            FailDraft("a lone '&' in \"" + text.substr(i, 20) + "\"");
        AppendReference(out, text.substr(i + 1, end - i - 1));
        i = end;
    }
    return out;
}

int Tag::Number(const char* attribute, int limit) const {
    const auto found = attributes.find(attribute);
    if (found == attributes.end())
        return 1;
    const std::string& value = found->second;
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos)
        FailDraft(std::string(attribute) + "=\"" + value + "\" is not a number");
    const int number = std::stoi(value);
    if (number > limit)
        FailDraft(std::string(attribute) + "=\"" + value + "\" is more than " +
                  std::to_string(limit));
    return std::max(1, number);
}

std::string Tag::Attribute(const char* attribute) const {
    const auto found = attributes.find(attribute);
    return found == attributes.end() ? std::string() : DecodeHtmlText(found->second);
}

bool HtmlReader::Next(bool& isTag, std::string& text, Tag& tag) {
    for (;;) {
        if (pos_ >= html_.size())
            return false;
        if (html_[pos_] != '<') {
            const std::size_t next = std::min(html_.find('<', pos_), html_.size());
            isTag = false;
            text = html_.substr(pos_, next - pos_);
            pos_ = next;
            return true;
        }
        if (html_.compare(pos_, 4, "<!--") == 0) {
            const std::size_t end = html_.find("-->", pos_ + 4);
            if (end == std::string::npos)
                FailDraft("a comment is not closed");
            pos_ = end + 3;
            continue;
        }
        if (html_.compare(pos_, 2, "<!") == 0) {
            const std::size_t end = html_.find('>', pos_);
            if (end == std::string::npos)
                FailDraft("the doctype is not closed");
            pos_ = end + 1;
            continue;
        }
        tag = ReadTag();
        if (!tag.end && (tag.name == "style" || tag.name == "title")) {
            SkipContent(tag.name);
            continue;
        }
        isTag = true;
        return true;
    }
}

// Reads the tag at pos_ ('<'); pos_ ends after its '>'.
Tag HtmlReader::ReadTag() {
    Tag tag;
    std::size_t i = pos_ + 1;
    if (i < html_.size() && html_[i] == '/') {
        tag.end = true;
        ++i;
    }
    const std::size_t nameEnd = html_.find_first_of(" \t\r\n/>", i);
    if (nameEnd == std::string::npos)
        FailDraft("a tag is not closed");
    tag.name = Lower(html_.substr(i, nameEnd - i));
    i = nameEnd;
    for (;;) {
        i = html_.find_first_not_of(" \t\r\n/", i);
        if (i == std::string::npos)
            FailDraft("the tag <" + tag.name + "> is not closed");
        if (html_[i] == '>')
            break;
        const std::size_t keyEnd = html_.find_first_of("= \t\r\n>", i);
        if (keyEnd == std::string::npos)
            FailDraft("the tag <" + tag.name + "> is not closed");
        const std::string key = Lower(html_.substr(i, keyEnd - i));
        i = keyEnd;
        std::string value;
        if (html_[i] == '=') {
            ++i;
            const char quote = i < html_.size() ? html_[i] : '\0';
            if (quote == '"' || quote == '\'') {
                const std::size_t close = html_.find(quote, i + 1);
                if (close == std::string::npos)
                    FailDraft("an attribute of <" + tag.name + "> is not closed");
                value = html_.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const std::size_t valueEnd =
                    std::min(html_.find_first_of(" \t\r\n>", i), html_.size());
                value = html_.substr(i, valueEnd - i);
                i = valueEnd;
            }
        }
        tag.attributes[key] = value;
    }
    pos_ = i + 1;
    return tag;
}

// Skips what stands between <name> and </name>.
void HtmlReader::SkipContent(const std::string& name) {
    // pspp writes its end tags in lower case.
    const std::size_t end = html_.find("</" + name, pos_);
    const std::size_t close = end == std::string::npos ? end : html_.find('>', end);
    if (close == std::string::npos)
        FailDraft("<" + name + "> is not closed");
    pos_ = close + 1;
}

} // namespace kalvero
