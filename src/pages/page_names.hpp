// The files of a work unit: the two pages and the picture, named after the
// unit, in one folder. The program creates the pages by these names and the
// pages link each other and the picture by them.
#pragma once

#include <string>
#include <string_view>

namespace cxl {

// The unit an empty answer stands for.
inline constexpr std::string_view kDefaultUnitName = "SIGXX";

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

// Whether Windows holds `path` as a plain file: no character of < > " | ? *
// or below 0x20, no ":" but after a drive letter at its start, and no
// folder part that ends with a dot or a space or names a device (CON,
// COM1.txt, ...), so that nothing goes into an alternate data stream or a
// device. Both "/" and the backslash separate folders.
bool windowsHoldsPath(std::string_view path);

}  // namespace cxl
