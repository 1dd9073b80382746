// The conversion both front ends share: a map's bytes and a unit name in,
// both pages or the failure out. The console reads its file and writes its
// pages itself, through the same rules (failureOf, descriptionBound); the
// browser edition hands over the bytes of the chosen file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "map/loader.hpp"
#include "pages/failure.hpp"

namespace cxl {

// What a load that did not succeed means, with the parser's reason;
// `cxlName` is the name its message shows.
Status failureOf(const LoadResult& loaded, const std::string& cxlName);

// Linking phrases are told again along every path that meets them, so a few
// kilobytes of phrases linked to each other would describe more paths than
// any disk holds. As an XML parser bounds entity expansion, the description
// is bounded by the map: 100 times its bytes as read, 8 MiB at least. No
// real map comes near it.
std::uint64_t descriptionBound(std::uint64_t cxlBytes);

// Whether `more` bytes after the `written` ones keep a page within `bound`
// (`written` within it already): the first write that would pass it is
// not made, wherever the page goes.
constexpr bool fitsBound(std::uint64_t written, std::uint64_t more, std::uint64_t bound) {
    return more <= bound - written;
}

struct ConvertedPages {
    std::string graphicPage;
    std::string descriptionPage;
};

// Converts a whole CXL document held in memory, as the Linux program
// converts the same file (line feeds kept as they are); `folderSeparators`
// split the unit name's folder from the name its links use.
Outcome<ConvertedPages> convertDocument(std::string_view bytes, const std::string& cxlName,
                                        std::string_view unitName, std::string_view folderSeparators);

}  // namespace cxl
