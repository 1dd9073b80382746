#include "pages/page_names.hpp"

#include "map/text.hpp"

#include <algorithm>
#include <array>

namespace cxl {

namespace {

bool isDeviceName(std::string_view part) {
    part = part.substr(0, part.find('.'));
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : kDevices) {
        if (equalsIgnoringAsciiCase(part, device)) return true;
    }
    return part.size() == 4 && (equalsIgnoringAsciiCase(part.substr(0, 3), "COM") || equalsIgnoringAsciiCase(part.substr(0, 3), "LPT")) &&
           part[3] >= '0' && part[3] <= '9';
}

}  // namespace

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

bool windowsHoldsPath(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
            return false;
        }
        const bool driveColon = i == 1 && lowerAscii(path[0]) >= 'a' && lowerAscii(path[0]) <= 'z';
        if (c == ':' && !driveColon) return false;
    }
    std::size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..") {
            if (part.back() == '.' || part.back() == ' ' || isDeviceName(part)) return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace cxl
