// Writing texts into the pages: markup characters as references, and in link
// targets also the bytes that would end or cut a file name in a URL.
#pragma once

#include <ostream>
#include <string_view>

namespace cxl {

// & < > and " as references; every other byte as it is.
void writeText(std::ostream& out, std::string_view text);

// As writeText, and % # ? percent-encoded, so that the link names the file.
void writeLinkTarget(std::ostream& out, std::string_view text);

// Writes one line or line fragment of a page: `format` as it is, with each
// "%s" replaced by writeText(text) and each "%u" by writeLinkTarget(text).
void writeLine(std::ostream& out, std::string_view format, std::string_view text = {});

// `count` spaces of indentation.
void writeSpaces(std::ostream& out, std::size_t count);

}  // namespace cxl
