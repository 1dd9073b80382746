#include "pages/markup.hpp"

#include <algorithm>
#include <string>

namespace cxl {

namespace {

// Straight into the stream's buffer: pages are written in many small pieces,
// and a formatted write per piece costs more than the copy itself. A short
// write marks the stream bad, as a formatted write would.
void put(std::ostream& out, const char* data, std::size_t size) {
    const auto count = static_cast<std::streamsize>(size);
    if (out.rdbuf()->sputn(data, count) != count) out.setstate(std::ios::badbit);
}

std::string_view replacementFor(char c, bool inLink) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        case '%': return inLink ? "%25" : std::string_view{};
        case '#': return inLink ? "%23" : std::string_view{};
        case '?': return inLink ? "%3F" : std::string_view{};
        default: return {};
    }
}

void writeEscaped(std::ostream& out, std::string_view text, bool inLink) {
    const char* special = inLink ? "&<>\"%#?" : "&<>\"";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t hit = text.find_first_of(special, start);
        const std::size_t stop = hit == std::string_view::npos ? text.size() : hit;
        put(out, text.data() + start, stop - start);
        if (hit == std::string_view::npos) break;
        const std::string_view replacement = replacementFor(text[hit], inLink);
        put(out, replacement.data(), replacement.size());
        start = hit + 1;
    }
}

}  // namespace

void writeText(std::ostream& out, std::string_view text) { writeEscaped(out, text, false); }

void writeLinkTarget(std::ostream& out, std::string_view text) { writeEscaped(out, text, true); }

void writeLine(std::ostream& out, std::string_view format, std::string_view text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t mark = format.find('%', start);
        if (mark == std::string_view::npos || mark + 1 >= format.size()) break;
        const char what = format[mark + 1];
        if (what != 's' && what != 'u') {
            start = mark + 1;
            continue;
        }
        put(out, format.data(), mark);
        if (what == 's') {
            writeText(out, text);
        } else {
            writeLinkTarget(out, text);
        }
        format.remove_prefix(mark + 2);
        start = 0;
    }
    put(out, format.data(), format.size());
}

void writeSpaces(std::ostream& out, std::size_t count) {
    static const std::string kSpaces(512, ' ');
    while (count > 0) {
        const std::size_t chunk = std::min(count, kSpaces.size());
        put(out, kSpaces.data(), chunk);
        count -= chunk;
    }
}

}  // namespace cxl
