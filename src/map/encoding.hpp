// A look at the raw bytes before parsing. The parser passes some bytes that
// are not XML (bad UTF-8 sequences, control characters) and in some cases
// reports them but still returns a tree, cut short at the bad byte, so a map
// would be told only in part. Such files are refused instead. UTF-16 is
// turned into UTF-8 here: the parser's own UTF-16 reading ends the input at
// some characters beyond the first 65,536.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace cxl {

enum class ReadStatus {
    Ok,
    NotXml,     // not UTF-8 or UTF-16 with byte-order mark, or a character XML forbids
    ReadError,  // the file could not be read
};

// True when the stream starts with a UTF-16 byte-order mark; rewinds it.
// For seekable streams only.
bool startsAsUtf16(std::FILE* file);

// Reads a seekable UTF-8 file to its end and rewinds it, so that the parser
// reads it in place.
ReadStatus checkUtf8InPlace(std::FILE* file);

// Reads the file once from where it stands, checking each piece as it
// arrives (the first bad byte ends the reading), into UTF-8 text without
// byte-order mark. For pipes and UTF-16 files.
ReadStatus readAsUtf8(std::FILE* file, std::string& text);

// Bytes that are whole XML characters on their own in UTF-8: printable
// ASCII, tab, line feed and carriage return.
inline constexpr std::array<bool, 256> kPlainAscii = [] {
    std::array<bool, 256> table{};
    for (int c = 0x20; c < 0x80; ++c) table[static_cast<std::size_t>(c)] = true;
    table['\t'] = table['\n'] = table['\r'] = true;
    return table;
}();

// A character that XML 1.0 allows: tab, line feed, carriage return,
// U+0020-U+D7FF, U+E000-U+FFFD, U+10000-U+10FFFF.
bool isXmlChar(std::uint32_t code);

// The character that begins `bytes`, when they begin with valid UTF-8 (the
// shortest form of a scalar value); else `length` is 0.
struct Utf8Char {
    std::uint32_t code = 0;
    std::size_t length = 0;
};
Utf8Char decodeUtf8(std::string_view bytes);

// Valid UTF-8 of characters that XML allows.
bool isXmlText(std::string_view text);

}  // namespace cxl
