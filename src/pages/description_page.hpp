// The description page: heading, outline, legend and the link back.
#pragma once

#include <ostream>
#include <string_view>

#include "map/concept_map.hpp"
#include "pages/outline.hpp"

namespace cxl {

void writeDescriptionPage(std::ostream& descriptionPage, std::string_view unitName,
                          ConceptMap& map, OutlineState& state);

}  // namespace cxl
