// Reads a CXL document into the concept-map model.
#pragma once

#include <cstdio>

#include "map/concept_map.hpp"

namespace cxl {

enum class LoadStatus {
    Loaded,
    NotXml,       // not XML text, no tree from the parser, or an error it reported
    ReadError,    // the file could not be read
    OutOfMemory,  // the parser could not allocate
    MissingNode,  // a connection names no concept and no linking phrase
};

// Parses `cxlFile`, fills `map` (which must be empty) and closes the file,
// whatever the outcome. On MissingNode the links added so far stay. The
// parser's own messages go to standard error as it words them. With
// `crLfLineEnds` each carriage return and line feed of the file reaches the
// parser as one line feed, as a text stream of such a host delivers it.
LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map, bool crLfLineEnds = false);

}  // namespace cxl
