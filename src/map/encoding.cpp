#include "map/encoding.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>

namespace cxl {

namespace {

bool isXmlChar(std::uint32_t c) {
    if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// Bytes that are whole XML characters on their own in UTF-8.
constexpr std::array<bool, 256> kPlainAscii = [] {
    std::array<bool, 256> table{};
    for (int c = 0x20; c < 0x80; ++c) table[static_cast<std::size_t>(c)] = true;
    table['\t'] = table['\n'] = table['\r'] = true;
    return table;
}();

class Utf8Checker {
public:
    // The common case, decided without the state machine.
    [[nodiscard]] bool plain(std::uint8_t byte) const { return pending_ == 0 && kPlainAscii[byte]; }

    bool feed(std::uint8_t byte) {
        if (pending_ == 0) {
            if (byte < 0x80) return isXmlChar(byte);
            if (byte >= 0xC2 && byte <= 0xDF) return start(byte & 0x1F, 1, 0x80);
            if (byte >= 0xE0 && byte <= 0xEF) return start(byte & 0x0F, 2, 0x800);
            if (byte >= 0xF0 && byte <= 0xF4) return start(byte & 0x07, 3, 0x10000);
            return false;
        }
        if ((byte & 0xC0) != 0x80) return false;
        code_ = (code_ << 6) | (byte & 0x3F);
        if (--pending_ > 0) return true;
        return code_ >= minimum_ && isXmlChar(code_);  // no overlong forms
    }
    [[nodiscard]] bool complete() const { return pending_ == 0; }

private:
    bool start(std::uint32_t bits, int pending, std::uint32_t minimum) {
        code_ = bits;
        pending_ = pending;
        minimum_ = minimum;
        return true;
    }
    std::uint32_t code_ = 0;
    std::uint32_t minimum_ = 0;
    int pending_ = 0;
};

class Utf16Checker {
public:
    [[nodiscard]] static bool plain(std::uint8_t) { return false; }
    explicit Utf16Checker(bool bigEndian) : bigEndian_(bigEndian) {}
    bool feed(std::uint8_t byte) {
        if (!haveFirst_) {
            first_ = byte;
            haveFirst_ = true;
            return true;
        }
        haveFirst_ = false;
        const std::uint32_t unit = bigEndian_ ? (std::uint32_t{first_} << 8) | byte
                                              : (std::uint32_t{byte} << 8) | first_;
        if (highSurrogate_ != 0) {
            if (unit < 0xDC00 || unit > 0xDFFF) return false;
            const std::uint32_t code = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            highSurrogate_ = 0;
            return isXmlChar(code);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return true;
        }
        return isXmlChar(unit);
    }
    [[nodiscard]] bool complete() const { return !haveFirst_ && highSurrogate_ == 0; }

private:
    bool bigEndian_;
    bool haveFirst_ = false;
    std::uint8_t first_ = 0;
    std::uint32_t highSurrogate_ = 0;
};

// True when none of the eight bytes of `word` is outside 0x20..0x7F, so that
// all of them are plain ASCII characters.
bool allPrintableAscii(std::uint64_t word) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
    // A byte below 0x20 borrows in the subtraction and sets its high bit.
    return ((word | (word - kSpaces)) & kHigh) == 0;
}

template <typename Checker>
bool feedBytes(Checker& checker, const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (!checker.plain(bytes[i]) && !checker.feed(bytes[i])) return false;
    }
    return true;
}

bool feedBytes(Utf8Checker& checker, const std::uint8_t* bytes, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        // Eight plain bytes at a time while no sequence is open.
        if (checker.complete() && size - i >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes + i, 8);
            if (allPrintableAscii(word)) {
                i += 8;
                continue;
            }
        }
        const std::size_t stop = std::min(size, i + 8);
        for (; i < stop; ++i) {
            if (!checker.plain(bytes[i]) && !checker.feed(bytes[i])) return false;
        }
    }
    return true;
}

template <typename Checker>
bool checkRest(std::FILE* file, Checker& checker, const std::uint8_t* head, std::size_t headSize) {
    if (!feedBytes(checker, head, headSize)) return false;
    std::array<std::uint8_t, 1 << 16> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        if (!feedBytes(checker, buffer.data(), got)) return false;
    }
    return std::ferror(file) == 0 && checker.complete();
}

bool check(std::FILE* file) {
    std::uint8_t head[3] = {0, 0, 0};
    const std::size_t headSize = std::fread(head, 1, 3, file);
    if (headSize >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF))) {
        Utf16Checker checker(head[0] == 0xFE);
        return checkRest(file, checker, head + 2, headSize - 2);
    }
    const bool utf8Mark = headSize == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
    Utf8Checker checker;
    return utf8Mark ? checkRest(file, checker, head, 0) : checkRest(file, checker, head, headSize);
}

}  // namespace

bool hasXmlCharacters(std::FILE* file) {
    const bool ok = check(file);
    std::rewind(file);
    return ok;
}

}  // namespace cxl
