// The description page: heading, outline, legend and the link back.
#pragma once

#include <ostream>

#include "map/concept_map.hpp"
#include "pages/page_names.hpp"

namespace cxl {

void writeDescriptionPage(std::ostream& descriptionPage, const UnitName& unit, const ConceptMap& map);

}  // namespace cxl
