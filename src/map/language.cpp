#include "map/language.hpp"

#include "map/text.hpp"

#include <cstring>

namespace cxl {

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void LanguageDeclaration::take(mxml_node_t* node, mxml_sax_event_t event) {
    if (inside_ != nullptr) {
        if (event == MXML_SAX_ELEMENT_CLOSE && node == inside_) {
            inside_ = nullptr;
        } else if (event == MXML_SAX_DATA && node != nullptr) {
            if (const char* text = mxmlGetOpaque(node)) text_ += text;
        } else {
            spoilt_ = true;
        }
        return;
    }
    const char* name = event == MXML_SAX_ELEMENT_OPEN ? mxmlGetElement(node) : nullptr;
    if (!seen_ && name != nullptr && std::strcmp(name, "dc:language") == 0) {
        seen_ = true;
        inside_ = node;
    }
}

std::string LanguageDeclaration::tag() const { return spoilt_ ? std::string() : languageTag(text_); }

// 2 or 3 letters, then subtags of 1 to 8 letters or digits, each after "-".
std::string languageTag(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kXmlBlanks);
    if (first == std::string_view::npos) return {};
    const std::string_view tag = text.substr(first, text.find_last_not_of(kXmlBlanks) - first + 1);
    std::size_t at = 0;
    while (at < tag.size() && isAsciiLetter(tag[at])) ++at;
    if (at < 2 || at > 3) return {};
    while (at < tag.size()) {
        if (tag[at] != '-') return {};
        const std::size_t start = ++at;
        while (at < tag.size() && (isAsciiLetter(tag[at]) || isAsciiDigit(tag[at]))) ++at;
        if (at - start < 1 || at - start > 8) return {};
    }
    return std::string(tag);
}

}  // namespace cxl
