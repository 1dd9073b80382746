// The graphic page: the picture of the map, with the description page as
// its long description and a link to it.
#pragma once

#include <ostream>

#include "pages/page_names.hpp"

namespace cxl {

// The six lines that begin both pages.
void writePageHead(std::ostream& out);

void writeGraphicPage(std::ostream& graphicPage, const UnitName& unit);

}  // namespace cxl
