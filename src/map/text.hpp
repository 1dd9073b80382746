// Texts and numbers as the loader reads them from attribute values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cxl {

// White space as XML counts it: space, tab, line feed, carriage return.
inline constexpr std::string_view kXmlBlanks = " \t\n\r";
constexpr bool isXmlBlank(std::uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// ASCII letters alone change case: names, tags and options are ASCII.
constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The length of the UTF-8 sequence that `lead` begins, 1 for any byte that
// begins none (a continuation byte, or ASCII).
constexpr std::size_t utf8SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Drops blanks (space, tab, line feed) at both ends and turns every run of
// blanks inside into one space. Every other byte, carriage return and the
// bytes of multi-byte characters included, is kept as it is.
std::string normaliseText(std::string_view text);
// The same into `out`, whose storage is reused from call to call.
void normaliseText(std::string_view text, std::string& out);

// Leading decimal conversion: white space, an optional sign, then digits up
// to the first other byte. No digits give 0; values beyond 32 bits are
// clamped to the nearest end of the range.
std::int32_t leadingInteger(std::string_view text);

}  // namespace cxl
