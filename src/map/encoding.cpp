#include "map/encoding.hpp"

#include <array>
#include <vector>

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

constexpr std::size_t kChunk = std::size_t{1} << 16;

// UTF-8 checked piece by piece, a character at a time: one cut by the end
// of a piece is kept and finished with the next piece.
class Utf8Checker {
public:
    bool feed(const std::uint8_t* bytes, std::size_t size) {
        std::string_view rest(reinterpret_cast<const char*>(bytes), size);
        while (!cut_.empty() && !rest.empty()) {
            cut_.push_back(rest.front());
            rest.remove_prefix(1);
            const Utf8Char c = decodeUtf8(cut_);
            if (c.length != 0 && !isXmlChar(c.code)) return false;
            if (c.length != 0) cut_.clear();
            if (cut_.size() == 4) return false;  // no character is longer
        }
        while (!rest.empty()) {
            if (kPlainAscii[static_cast<std::uint8_t>(rest.front())]) {
                rest.remove_prefix(1);
                continue;
            }
            const Utf8Char c = decodeUtf8(rest);
            if (c.length == 0) {
                if (rest.size() >= 4) return false;
                cut_ = rest;  // maybe cut by the end of the piece
                return true;
            }
            if (!isXmlChar(c.code)) return false;
            rest.remove_prefix(c.length);
        }
        return true;
    }
    [[nodiscard]] bool complete() const { return cut_.empty(); }

private:
    std::string cut_;
};

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

// UTF-16 code units, decoded into UTF-8 as they arrive.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

    bool feed(const std::uint8_t* bytes, std::size_t size, std::string& out) {
        for (std::size_t i = 0; i < size; ++i) {
            if (!haveFirst_) {
                first_ = bytes[i];
                haveFirst_ = true;
                continue;
            }
            haveFirst_ = false;
            if (!unit(bigEndian_ ? (std::uint32_t{first_} << 8) | bytes[i]
                                 : (std::uint32_t{bytes[i]} << 8) | first_,
                      out)) {
                return false;
            }
        }
        return true;
    }
    [[nodiscard]] bool complete() const { return !haveFirst_ && highSurrogate_ == 0; }

private:
    bool unit(std::uint32_t unit, std::string& out) {
        std::uint32_t code = unit;
        if (highSurrogate_ != 0) {
            if (unit < 0xDC00 || unit > 0xDFFF) return false;
            code = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            highSurrogate_ = 0;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return true;
        }
        if (!isXmlChar(code)) return false;
        appendUtf8(out, code);
        return true;
    }

    bool bigEndian_;
    bool haveFirst_ = false;
    std::uint8_t first_ = 0;
    std::uint32_t highSurrogate_ = 0;
};

bool isUtf16Mark(const std::uint8_t* head, std::size_t size) {
    return size >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF));
}

bool isUtf8Mark(const std::uint8_t* head, std::size_t size) {
    return size >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
}

// Reads until `buffer` is full or the file ends; false on a read error.
bool readSome(std::FILE* file, std::vector<std::uint8_t>& buffer, std::size_t& got) {
    got = std::fread(buffer.data(), 1, buffer.size(), file);
    return std::ferror(file) == 0;
}

}  // namespace

bool startsAsUtf16(std::FILE* file) {
    std::uint8_t head[2] = {0, 0};
    const std::size_t size = std::fread(head, 1, 2, file);
    std::rewind(file);
    return isUtf16Mark(head, size);
}

ReadStatus checkUtf8InPlace(std::FILE* file) {
    std::vector<std::uint8_t> buffer(kChunk);
    Utf8Checker checker;
    ReadStatus status = ReadStatus::Ok;
    bool first = true;
    std::size_t got = 0;
    while (status == ReadStatus::Ok) {
        if (!readSome(file, buffer, got)) {
            status = ReadStatus::ReadError;
            break;
        }
        if (got == 0) break;
        const std::size_t skip = first && isUtf8Mark(buffer.data(), got) ? 3 : 0;
        first = false;
        if (!checker.feed(buffer.data() + skip, got - skip)) status = ReadStatus::NotXml;
    }
    if (status == ReadStatus::Ok && !checker.complete()) status = ReadStatus::NotXml;
    std::rewind(file);
    return status;
}

ReadStatus readAsUtf8(std::FILE* file, std::string& text) {
    text.clear();
    std::vector<std::uint8_t> buffer(kChunk);
    std::size_t got = 0;
    if (!readSome(file, buffer, got)) return ReadStatus::ReadError;
    if (isUtf16Mark(buffer.data(), got)) {
        Utf16Decoder decoder(buffer[0] == 0xFE);
        std::size_t skip = 2;
        while (got > 0) {
            if (!decoder.feed(buffer.data() + skip, got - skip, text)) return ReadStatus::NotXml;
            skip = 0;
            if (!readSome(file, buffer, got)) return ReadStatus::ReadError;
        }
        return decoder.complete() ? ReadStatus::Ok : ReadStatus::NotXml;
    }
    Utf8Checker checker;
    std::size_t skip = isUtf8Mark(buffer.data(), got) ? 3 : 0;
    while (got > 0) {
        const auto* start = buffer.data() + skip;
        if (!checker.feed(start, got - skip)) return ReadStatus::NotXml;
        text.append(reinterpret_cast<const char*>(start), got - skip);
        skip = 0;
        if (!readSome(file, buffer, got)) return ReadStatus::ReadError;
    }
    return checker.complete() ? ReadStatus::Ok : ReadStatus::NotXml;
}

}  // namespace cxl
