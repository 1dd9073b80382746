// Writing into the pages: markup characters as references, and in link
// targets also the bytes that would make a browser read another file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string_view>

#include "pages/page_names.hpp"

namespace cxl {

// Bytes as they are, straight into the stream's buffer. A short write marks
// the stream bad, and after it nothing more is attempted: the page is lost
// anyway.
void writeBytes(std::ostream& out, std::string_view bytes);

// `count` spaces of indentation.
void writeSpaces(std::ostream& out, std::size_t count);

// & < > and " as references; valid UTF-8 of characters that XML allows as it
// is; a character that XML does not allow as "&#xFFFD;"; a byte that is not
// part of valid UTF-8 as the reference of its windows-1252 character (what a
// Latin-1 console sends). So every page is well-formed UTF-8.
void writeText(std::ostream& out, std::string_view text);

// As writeText, and % # ? : backslash, control bytes, leading spaces and any
// byte that writeText would replace percent-encoded, so that the link names
// the file that was written.
void writeLinkTarget(std::ostream& out, std::string_view text);

// Writes a line, or a piece of one, of a page's fixed text, in which
// "${unit}" stands for the unit's name as text, and "${graphic-page}",
// "${description-page}" and "${picture}" for links to the unit's files.
void writeTemplate(std::ostream& out, std::string_view text, const UnitName& unit);

}  // namespace cxl
