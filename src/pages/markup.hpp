// Writing texts into the pages: markup characters as references, and in link
// targets also the bytes that would make a browser read another file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string_view>

namespace cxl {

// The work unit as the pages use it: the whole name in titles and headings;
// in link targets only its part after the last folder separator, since the
// picture and both pages lie in one folder.
struct UnitName {
    std::string_view text;
    std::string_view linkName;
};

// `folderSeparators` is the host's: "/" here, also the backslash on Windows.
UnitName unitNameFor(std::string_view unitName, std::string_view folderSeparators);

// & < > and " as references; valid UTF-8 of characters that XML allows as it
// is; a character that XML does not allow as "&#xFFFD;"; a byte that is not
// part of valid UTF-8 as the reference of its windows-1252 character (what a
// Latin-1 console sends). So every page is well-formed UTF-8.
void writeText(std::ostream& out, std::string_view text);

// As writeText, and % # ? : backslash, control bytes, leading spaces and any
// byte that writeText would replace percent-encoded, so that the link names
// the file that was written.
void writeLinkTarget(std::ostream& out, std::string_view text);

// Writes one line or line fragment of a page: `format` as it is, with each
// "%s" replaced by writeText(text) and each "%u" by writeLinkTarget(link).
void writeLine(std::ostream& out, std::string_view format, std::string_view text = {},
               std::string_view link = {});

// `count` spaces of indentation.
void writeSpaces(std::ostream& out, std::size_t count);

}  // namespace cxl
