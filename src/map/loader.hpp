// Reads a CXL document into the concept-map model.
#pragma once

#include <cstdio>

#include "map/concept_map.hpp"

namespace cxl {

enum class LoadStatus {
    Loaded,
    NotXml,       // bytes that are not XML characters, or no tree from the parser
    MissingNode,  // a connection names no concept and no linking phrase
};

// Parses `cxlFile`, fills `map` (which must be empty) and closes the file,
// whatever the outcome. On MissingNode the links added so far stay.
LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map);

}  // namespace cxl
