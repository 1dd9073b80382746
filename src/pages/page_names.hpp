// The files of a work unit: the two pages and the picture, named after the
// unit, in one folder. The program creates the pages by these names and the
// pages link each other and the picture by them.
#pragma once

#include <string>
#include <string_view>

namespace cxl {

enum class UnitFile { GraphicPage, DescriptionPage, Picture };

// `unit` followed by the file's suffix ("_MapaConceptual.html", ...).
std::string unitFileName(std::string_view unit, UnitFile file);

// A path as its folder, up to and with its last separator (empty when it
// has none), and the name after it.
struct PathParts {
    std::string_view folder;
    std::string_view name;
};
PathParts splitPath(std::string_view path, std::string_view separators);

// The work unit as the pages use it: the whole name in titles and headings;
// in link targets only its last part, since the picture and both pages lie
// in one folder.
struct UnitName {
    std::string_view text;
    std::string_view linkName;
};

// `folderSeparators` is the host's: "/" here, also the backslash on Windows.
UnitName unitNameFor(std::string_view unitName, std::string_view folderSeparators);

}  // namespace cxl
