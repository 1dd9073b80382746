// Character rules of the CXL document, as pure functions over bytes.
//
// The parser passes some bytes that are not XML (bad UTF-8 sequences,
// control characters) and in some cases reports them but still returns a
// tree cut short at the bad byte, so a map would be told only in part. Such
// files are refused before the parse instead. UTF-16 is turned into UTF-8
// here: the parser's own UTF-16 reading ends the input at some characters
// beyond the first 65,536.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "map/text.hpp"

namespace cxl {

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

// The bytes of a CXL document, fed piece by piece as they are read, into
// the UTF-8 text the parser reads: UTF-8 with or without byte-order mark,
// or UTF-16 with one, every character one that XML allows.
class DocumentDecoder {
public:
    // `expectedBytes`, the size of the document when known, saves the text
    // from growing by copies.
    explicit DocumentDecoder(std::size_t expectedBytes = 0) : expectedBytes_(expectedBytes) {}

    // False at the first piece holding bytes that are not XML text: the
    // reading can stop there.
    bool feed(std::string_view bytes);
    // False when the document ended inside a character.
    bool finish();
    // Whether the document's last character other than white space is not
    // ">": its last tag was cut off (`...</cmap`), which the parser accepts.
    [[nodiscard]] bool endsCutShort() const { return lastNonBlank_ != '>'; }
    // The text decoded so far, without the byte-order mark; whoever reads it
    // may take it away piece by piece.
    std::string& text() { return text_; }

private:
    enum class Form { Unknown, Utf8, Utf16LittleEndian, Utf16BigEndian };
    bool decide(bool atEnd);
    bool feedDecided(std::string_view bytes);
    bool feedUtf8(std::string_view bytes);
    bool feedUtf16(std::string_view bytes);
    bool watchReferences(std::string_view ascii);
    bool watchCharacter(std::uint32_t code);

    std::size_t expectedBytes_;
    Form form_ = Form::Unknown;
    std::string head_;           // the first bytes, until they tell the form
    std::string cut_;            // UTF-8: a character cut by the end of a piece
    int pendingByte_ = -1;       // UTF-16: the first byte of a code unit cut so
    std::uint32_t highSurrogate_ = 0;
    // A character reference being read ("&#", then digits), which the parser
    // would take modulo 2^32: one past U+10FFFF is refused.
    enum class Reference { None, Ampersand, Hash, Decimal, HexMark, Hex };
    Reference reference_ = Reference::None;
    bool referenceTooLarge_ = false;
    std::uint32_t referenceValue_ = 0;
    std::uint32_t lastNonBlank_ = 0;
    std::string text_;
};

// A whole document fed to `decoder` in the pieces a file is read in (the
// decoder holds its first piece aside until it knows the form); false where
// it is not XML text.
bool decodeWhole(std::string_view bytes, DocumentDecoder& decoder);

}  // namespace cxl
