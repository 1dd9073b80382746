#include "pages/markup.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "map/encoding.hpp"

namespace cxl {

namespace {

// Bytes that text can copy as they are: those that are XML characters on
// their own but the four markup characters.
constexpr std::array<bool, 256> kPlainInText = [] {
    std::array<bool, 256> table = kPlainAscii;
    table['&'] = table['<'] = table['>'] = table['"'] = false;
    return table;
}();

// The same inside a link target: nothing below 0x20, no DEL, and none of the
// bytes that a URL reads as more than a file name.
constexpr std::array<bool, 256> kPlainInLink = [] {
    std::array<bool, 256> table = kPlainInText;
    table['\t'] = table['\n'] = table['\r'] = table[0x7F] = false;
    table['%'] = table['#'] = table['?'] = table[':'] = table['\\'] = false;
    return table;
}();

std::string_view markupReference(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        default: return {};
    }
}

// What the windows-1252 decoder makes of 0x80-0x9F; the other bytes of 0xA0
// and above are their own code points.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void putWindows1252Reference(std::ostream& out, std::uint8_t byte) {
    const std::uint32_t code = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80u] : byte;
    writeBytes(out, "&#" + std::to_string(code) + ";");
}

void putPercentEncoded(std::ostream& out, std::string_view bytes) {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        const char encoded[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
        writeBytes(out, std::string_view(encoded, 3));
    }
}

// Copies runs of plain bytes in one piece and hands every other character,
// or every byte that begins no valid character, to `special`.
template <typename Special>
void writeEach(std::ostream& out, std::string_view text, const std::array<bool, 256>& plain,
               Special special) {
    std::size_t start = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        if (plain[static_cast<std::uint8_t>(text[at])]) {
            ++at;
            continue;
        }
        writeBytes(out, text.substr(start, at - start));
        const Utf8Char c = decodeUtf8(text.substr(at));
        const std::size_t length = c.length == 0 ? 1 : c.length;
        special(text.substr(at, length), c.length != 0 && isXmlChar(c.code));
        at += length;
        start = at;
    }
    writeBytes(out, text.substr(start));
}

}  // namespace

// Straight into the stream's buffer: pages are written in many small pieces,
// and a formatted write per piece costs more than the copy itself.
void writeBytes(std::ostream& out, std::string_view bytes) {
    if (out.bad()) return;
    const auto count = static_cast<std::streamsize>(bytes.size());
    if (out.rdbuf()->sputn(bytes.data(), count) != count) out.setstate(std::ios::badbit);
}

void writeText(std::ostream& out, std::string_view text) {
    writeEach(out, text, kPlainInText, [&out](std::string_view character, bool allowed) {
        if (const std::string_view reference = markupReference(character[0]); !reference.empty()) {
            writeBytes(out, reference);
        } else if (allowed) {
            writeBytes(out, character);
        } else if (character.size() == 1 && static_cast<std::uint8_t>(character[0]) >= 0x80) {
            putWindows1252Reference(out, static_cast<std::uint8_t>(character[0]));
        } else {
            writeBytes(out, "&#xFFFD;");
        }
    });
}

void writeLinkTarget(std::ostream& out, std::string_view text) {
    // Browsers drop the spaces that begin a link.
    const std::size_t spaces = std::min(text.find_first_not_of(' '), text.size());
    putPercentEncoded(out, text.substr(0, spaces));
    writeEach(out, text.substr(spaces), kPlainInLink, [&out](std::string_view character, bool allowed) {
        if (const std::string_view reference = markupReference(character[0]); !reference.empty()) {
            writeBytes(out, reference);
        } else if (allowed && static_cast<std::uint8_t>(character[0]) >= 0x80) {
            writeBytes(out, character);
        } else {
            putPercentEncoded(out, character);
        }
    });
}

void writeTemplate(std::ostream& out, std::string_view text, const UnitName& unit) {
    for (std::size_t slot = text.find("${"); slot != std::string_view::npos; slot = text.find("${")) {
        writeBytes(out, text.substr(0, slot));
        const std::size_t end = text.find('}', slot);
        if (end == std::string_view::npos) break;  // no name: the rest as it stands
        const std::string_view name = text.substr(slot + 2, end - slot - 2);
        if (name == "unit") {
            writeText(out, unit.text);
        } else if (name == "graphic-page") {
            writeLinkTarget(out, unitFileName(unit.linkName, UnitFile::GraphicPage));
        } else if (name == "description-page") {
            writeLinkTarget(out, unitFileName(unit.linkName, UnitFile::DescriptionPage));
        } else if (name == "picture") {
            writeLinkTarget(out, unitFileName(unit.linkName, UnitFile::Picture));
        }
        text.remove_prefix(end + 1);
    }
    writeBytes(out, text);
}

void writeSpaces(std::ostream& out, std::size_t count) {
    static const std::string kSpaces(512, ' ');
    while (count > 0) {
        const std::size_t chunk = std::min(count, kSpaces.size());
        writeBytes(out, std::string_view(kSpaces.data(), chunk));
        count -= chunk;
    }
}

}  // namespace cxl
