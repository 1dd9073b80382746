// The description's body: the map told as nested lists, root by root, then
// every node that no earlier item told.
#pragma once

#include <ostream>

#include "map/concept_map.hpp"

namespace cxl {

struct OutlineResult {
    bool italicsUsed = false;  // some concept was written in italics
};

// Writes the whole outline: one item per root, in the root list's order, then
// one for each node still untold when its turn comes (concepts, then linking
// phrases, each top-most first). A map without nodes gives no list at all.
// The walk keeps its own bookkeeping, so the map is only read.
OutlineResult writeOutline(std::ostream& out, const ConceptMap& map);

}  // namespace cxl
