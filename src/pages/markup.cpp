#include "pages/markup.hpp"

#include <algorithm>

namespace cxl {

namespace {

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
        out.write(text.data() + start, static_cast<std::streamsize>(stop - start));
        if (hit == std::string_view::npos) break;
        const std::string_view replacement = replacementFor(text[hit], inLink);
        out.write(replacement.data(), static_cast<std::streamsize>(replacement.size()));
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
        out.write(format.data(), static_cast<std::streamsize>(mark));
        if (what == 's') {
            writeText(out, text);
        } else {
            writeLinkTarget(out, text);
        }
        format.remove_prefix(mark + 2);
        start = 0;
    }
    out.write(format.data(), static_cast<std::streamsize>(format.size()));
}

void writeSpaces(std::ostream& out, std::size_t count) {
    static constexpr std::string_view kSpaces = "                                                                ";
    while (count > 0) {
        const std::size_t chunk = std::min(count, kSpaces.size());
        out.write(kSpaces.data(), static_cast<std::streamsize>(chunk));
        count -= chunk;
    }
}

}  // namespace cxl
