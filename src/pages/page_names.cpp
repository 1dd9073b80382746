#include "pages/page_names.hpp"

namespace cxl {

std::string unitFileName(std::string_view unit, UnitFile file) {
    std::string_view suffix;
    switch (file) {
        case UnitFile::GraphicPage: suffix = "_MapaConceptual.html"; break;
        case UnitFile::DescriptionPage: suffix = "_Desc.html"; break;
        case UnitFile::Picture: suffix = "_MapaConceptual.png"; break;
    }
    std::string name(unit);
    name.append(suffix);
    return name;
}

PathParts splitPath(std::string_view path, std::string_view separators) {
    const std::size_t last = path.find_last_of(separators);
    if (last == std::string_view::npos) return {{}, path};
    return {path.substr(0, last + 1), path.substr(last + 1)};
}

UnitName unitNameFor(std::string_view unitName, std::string_view folderSeparators) {
    return {unitName, splitPath(unitName, folderSeparators).name};
}

}  // namespace cxl
