// The language a map declares for its labels, in its metadata: the
// character data of the first "dc:language" element.
#pragma once

#include <string>
#include <string_view>

#include <mxml.h>

namespace cxl {

// Follows the parser's events inside the first "dc:language" element and
// keeps its character data; anything else inside it (an element, a comment,
// CDATA) makes it say nothing.
class LanguageDeclaration {
public:
    // Called for every event while `reading()`, and for elements opened
    // elsewhere: the first "dc:language" begins the reading.
    void take(mxml_node_t* node, mxml_sax_event_t event);
    [[nodiscard]] bool reading() const { return inside_ != nullptr; }
    // The tag declared, when it is a well-formed language tag; else empty.
    [[nodiscard]] std::string tag() const;

private:
    bool seen_ = false;
    bool spoilt_ = false;
    mxml_node_t* inside_ = nullptr;
    std::string text_;
};

// The tag that a "dc:language" text declares, as taken, when it is a
// well-formed language tag once blanks at both ends are dropped; else empty.
std::string languageTag(std::string_view text);

}  // namespace cxl
