// The model made from what the parser streamed, once the parse succeeded.
#pragma once

#include "map/concept_map.hpp"
#include "map/sax_filter.hpp"

namespace cxl {

// Makes the nodes in document order, each with its box, giving back what
// was kept as it goes, so that the two never stand whole side by side.
void buildNodes(RawMap& raw, ConceptMap& map);

// Links the connections in document order; false at the first one that
// names no node (the links before it stay).
bool linkConnections(RawMap& raw, ConceptMap& map);

}  // namespace cxl
