#include "map/encoding.hpp"

#include <cstring>

namespace cxl {

bool isXmlChar(std::uint32_t c) {
    if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

Utf8Char decodeUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    const auto lead = static_cast<std::uint8_t>(bytes[0]);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, minimum = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() < length) return {};
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        if ((byte & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

bool isXmlText(std::string_view text) {
    while (!text.empty()) {
        const Utf8Char c = decodeUtf8(text);
        if (c.length == 0 || !isXmlChar(c.code)) return false;
        text.remove_prefix(c.length);
    }
    return true;
}

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";


// Past the run of printable ASCII at `at`, eight bytes at a time, as far as
// whole words go: most of a map is such text. A word with a byte of 0x80 or
// more, or below 0x20, is left to the caller (the borrow of a byte below
// 0x20 may flag its neighbour too, which only costs a slower look).
std::size_t skipPrintableAscii(std::string_view bytes, std::size_t at) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    constexpr std::uint64_t kSpaces = 0x2020202020202020u;
    while (bytes.size() - at >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        if (((word | (word - kSpaces)) & kHighBits) != 0) break;
        at += 8;
    }
    return at;
}

int digitValue(std::uint32_t c, bool hex) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (hex && c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (hex && c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

}  // namespace

bool DocumentDecoder::feed(std::string_view bytes) {
    if (form_ != Form::Unknown) return feedDecided(bytes);
    head_.append(bytes);
    if (!decide(false)) return true;  // too few bytes yet to tell
    const std::string head = std::move(head_);
    return feedDecided(head);
}

bool DocumentDecoder::finish() {
    if (form_ == Form::Unknown) {
        decide(true);
        const std::string head = std::move(head_);
        if (!feedDecided(head)) return false;
    }
    return cut_.empty() && pendingByte_ < 0 && highSurrogate_ == 0;
}

// The byte-order mark, if any, tells the form; it is no part of the text.
// Until the first bytes rule a mark in or out, they wait.
bool DocumentDecoder::decide(bool atEnd) {
    const std::string_view head = head_;
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
        form_ = head[0] == '\xFE' ? Form::Utf16BigEndian : Form::Utf16LittleEndian;
        head_.erase(0, 2);
        text_.reserve(expectedBytes_ / 2);  // at least as many bytes as ASCII would give
        return true;
    }
    const bool mayBeUtf16Mark = head.size() < 2 && (head.empty() || head[0] == '\xFF' || head[0] == '\xFE');
    const bool mayBeUtf8Mark = head.size() < kUtf8Mark.size() && kUtf8Mark.starts_with(head);
    if (!atEnd && (mayBeUtf16Mark || mayBeUtf8Mark)) return false;
    form_ = Form::Utf8;
    if (head.starts_with(kUtf8Mark)) head_.erase(0, kUtf8Mark.size());
    text_.reserve(expectedBytes_);
    return true;
}

bool DocumentDecoder::feedDecided(std::string_view bytes) {
    if (form_ != Form::Utf8) return feedUtf16(bytes);
    const std::size_t last = bytes.find_last_not_of(kXmlBlanks);
    if (last != std::string_view::npos) lastNonBlank_ = static_cast<std::uint8_t>(bytes[last]);
    return watchReferences(bytes) && feedUtf8(bytes);
}

// Only the bytes from an "&" on need a look; a reference cut by the end of a
// piece goes on in the next. Bytes of other characters are never ASCII in
// UTF-8, so they end a reference as any other character does.
bool DocumentDecoder::watchReferences(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (reference_ == Reference::None) {
            at = bytes.find('&', at);
            if (at == std::string_view::npos) return true;
        }
        if (!watchCharacter(static_cast<std::uint8_t>(bytes[at]))) return false;
        ++at;
    }
    return true;
}

bool DocumentDecoder::watchCharacter(std::uint32_t c) {
    switch (reference_) {
        case Reference::None:
            break;
        case Reference::Ampersand:
            if (c == '#') {
                reference_ = Reference::Hash;
                return true;
            }
            break;
        case Reference::Hash:
            if (c == 'x') {
                reference_ = Reference::HexMark;
                return true;
            }
            [[fallthrough]];
        case Reference::HexMark:
        case Reference::Decimal:
        case Reference::Hex: {
            const bool hex = reference_ == Reference::HexMark || reference_ == Reference::Hex;
            const int digit = digitValue(c, hex);
            if (digit >= 0) {
                reference_ = hex ? Reference::Hex : Reference::Decimal;
                const std::uint64_t value = std::uint64_t{referenceValue_} * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
                referenceTooLarge_ = referenceTooLarge_ || value > 0x10FFFF;
                referenceValue_ = static_cast<std::uint32_t>(value & 0x1FFFFF);
                return true;
            }
            if (c == ';' && referenceTooLarge_) return false;
            break;
        }
    }
    reference_ = c == '&' ? Reference::Ampersand : Reference::None;
    referenceTooLarge_ = false;
    referenceValue_ = 0;
    return true;
}

// A character at a time; one cut by the end of a piece is finished with the
// next piece.
bool DocumentDecoder::feedUtf8(std::string_view bytes) {
    std::string_view rest = bytes;
    while (!cut_.empty() && !rest.empty()) {
        cut_.push_back(rest.front());
        rest.remove_prefix(1);
        const Utf8Char c = decodeUtf8(cut_);
        if (c.length != 0 && !isXmlChar(c.code)) return false;
        if (c.length != 0) {
            text_.append(cut_);
            cut_.clear();
        } else if (cut_.size() == 4) {
            return false;  // no character is longer
        }
    }
    const std::size_t start = static_cast<std::size_t>(rest.data() - bytes.data());
    std::size_t at = start;
    while (at < bytes.size()) {
        at = skipPrintableAscii(bytes, at);
        if (at == bytes.size()) break;
        if (kPlainAscii[static_cast<std::uint8_t>(bytes[at])]) {
            ++at;
            continue;
        }
        const Utf8Char c = decodeUtf8(bytes.substr(at));
        if (c.length == 0) {
            if (bytes.size() - at >= 4) return false;
            cut_ = bytes.substr(at);  // maybe cut by the end of the piece
            break;
        }
        if (!isXmlChar(c.code)) return false;
        at += c.length;
    }
    text_.append(bytes.substr(start, at - start));
    return true;
}

// Code units, decoded into UTF-8 as they arrive.
bool DocumentDecoder::feedUtf16(std::string_view bytes) {
    const bool bigEndian = form_ == Form::Utf16BigEndian;
    for (const char byte : bytes) {
        if (pendingByte_ < 0) {
            pendingByte_ = static_cast<std::uint8_t>(byte);
            continue;
        }
        const auto first = static_cast<std::uint32_t>(pendingByte_);
        const auto second = static_cast<std::uint32_t>(static_cast<std::uint8_t>(byte));
        pendingByte_ = -1;
        const std::uint32_t unit = bigEndian ? (first << 8) | second : (second << 8) | first;
        std::uint32_t code = unit;
        if (highSurrogate_ != 0) {
            if (unit < 0xDC00 || unit > 0xDFFF) return false;
            code = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            highSurrogate_ = 0;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            continue;
        }
        if (!isXmlChar(code) || !watchCharacter(code)) return false;
        if (!isXmlBlank(code)) lastNonBlank_ = code;
        appendUtf8(text_, code);
    }
    return true;
}

bool decodeWhole(std::string_view bytes, DocumentDecoder& decoder) {
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        if (!decoder.feed(bytes.substr(at, kPiece))) return false;
    }
    return decoder.finish();
}

}  // namespace cxl
